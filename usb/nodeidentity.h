#pragma once

// How every caller finds and addresses the node.
namespace Node {
constexpr int VendorId = 0x1FC9;   // 8137
constexpr int ProductId = 0x0050;  // 80
constexpr int AnyUsagePage = -1;
constexpr int AnyUsage = -1;
constexpr int MaxDevices = 1;
constexpr int Device = 0;          // the node is always device number 0
constexpr int WriteTimeoutMs = 100;
constexpr int ReadTimeoutMs = 220;
} // namespace Node
