// A cfgmgr32.dll for the Windows programs under Wine 8 in the VM run only,
// never shipped. hidapi's Windows backend looks up its configuration-manager
// functions before it enumerates anything, and gives up whole when one is
// missing: Wine 8's cfgmgr32 has no CM_Get_Device_Interface_PropertyW, and
// its CM_Get_Device_Interface_ListW is a stub. This DLL answers both (and the
// list's size, from the same enumeration) through setupapi's device
// interfaces, which Wine implements; cfgmgr32.def forwards every other
// function to setupapi, as Wine's own cfgmgr32 does.

#include <windows.h>
#include <initguid.h>
#include <cfgmgr32.h>
#include <devpkey.h>
#include <rpc.h>
#include <setupapi.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace {

// Called with each interface's path and device; true stops the walk.
using InterfaceVisitor = std::function<bool(const wchar_t *path, HDEVINFO set, SP_DEVINFO_DATA &device)>;

constexpr wchar_t listSeparator = L'\0';

// Walks the interfaces of one class (of one device when deviceId is given);
// true when the visitor stopped the walk.
bool visitInterfaces(const GUID &interfaceClass, const wchar_t *deviceId, ULONG listFlags,
                     const InterfaceVisitor &visit)
{
    DWORD setFlags = DIGCF_DEVICEINTERFACE;
    if ((listFlags & CM_GET_DEVICE_INTERFACE_LIST_ALL_DEVICES) == 0)
        setFlags |= DIGCF_PRESENT;
    const HDEVINFO set = SetupDiGetClassDevsW(&interfaceClass, deviceId, nullptr, setFlags);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    bool stopped = false;
    for (DWORD index = 0; !stopped && SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &interfaceData);
         ++index) {
        DWORD needed = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &needed, nullptr);
        if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        std::vector<BYTE> storage(needed);
        auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, needed, nullptr, &device))
            stopped = visit(detail->DevicePath, set, device);
    }
    SetupDiDestroyDeviceInfoList(set);
    return stopped;
}

// The interface paths of a class as a double-NUL-terminated list.
std::wstring interfaceList(const GUID &interfaceClass, const wchar_t *deviceId, ULONG listFlags)
{
    std::wstring list;
    visitInterfaces(interfaceClass, deviceId, listFlags, [&list](const wchar_t *path, HDEVINFO, SP_DEVINFO_DATA &) {
        list.append(path);
        list.push_back(listSeparator);
        return false;
    });
    list.push_back(listSeparator);
    return list;
}

// The interface class named at the end of an interface path ("...#{guid}").
// rpcrt4, which setupapi loads anyway, reads it: ole32 would bring user32.
bool classOfPath(const wchar_t *path, GUID &interfaceClass)
{
    const wchar_t *const start = std::wcsrchr(path, L'{');
    if (start == nullptr)
        return false;
    std::wstring text(start + 1);
    const size_t end = text.find(L'}');
    if (end == std::wstring::npos)
        return false;
    text.resize(end);
    return UuidFromStringW(reinterpret_cast<RPC_WSTR>(text.data()), &interfaceClass) == RPC_S_OK;
}

// The instance ID of the device behind an interface path; empty if none.
std::wstring instanceIdOfInterface(const wchar_t *path)
{
    GUID interfaceClass;
    if (!classOfPath(path, interfaceClass))
        return {};
    std::wstring instanceId;
    visitInterfaces(interfaceClass, nullptr, CM_GET_DEVICE_INTERFACE_LIST_PRESENT,
                    [&](const wchar_t *candidate, HDEVINFO set, SP_DEVINFO_DATA &device) {
                        if (_wcsicmp(candidate, path) != 0)
                            return false;
                        DWORD needed = 0;
                        SetupDiGetDeviceInstanceIdW(set, &device, nullptr, 0, &needed);
                        std::vector<wchar_t> text(needed + 1);
                        if (SetupDiGetDeviceInstanceIdW(set, &device, text.data(), needed + 1, nullptr))
                            instanceId = text.data();
                        return true;
                    });
    return instanceId;
}

} // namespace

extern "C" {

CONFIGRET WINAPI shimInterfaceListSize(PULONG length, LPGUID interfaceClass, DEVINSTID_W deviceId, ULONG flags)
{
    if (length == nullptr || interfaceClass == nullptr)
        return CR_INVALID_POINTER;
    *length = static_cast<ULONG>(interfaceList(*interfaceClass, deviceId, flags).size());
    return CR_SUCCESS;
}

CONFIGRET WINAPI shimInterfaceList(LPGUID interfaceClass, DEVINSTID_W deviceId, PZZWSTR buffer, ULONG bufferLength,
                                   ULONG flags)
{
    if (buffer == nullptr || interfaceClass == nullptr)
        return CR_INVALID_POINTER;
    const std::wstring list = interfaceList(*interfaceClass, deviceId, flags);
    if (list.size() > bufferLength)
        return CR_BUFFER_SMALL;
    std::memcpy(buffer, list.data(), list.size() * sizeof(wchar_t));
    return CR_SUCCESS;
}

// Of an interface's properties, only the instance ID of its device (all
// hidapi asks for).
CONFIGRET WINAPI shimInterfaceProperty(LPCWSTR path, const DEVPROPKEY *key, DEVPROPTYPE *type, PBYTE buffer,
                                       PULONG bufferSize, ULONG)
{
    if (path == nullptr || key == nullptr || type == nullptr || bufferSize == nullptr)
        return CR_INVALID_POINTER;
    if (!IsEqualDevPropKey(*key, DEVPKEY_Device_InstanceId))
        return CR_NO_SUCH_VALUE;
    const std::wstring instanceId = instanceIdOfInterface(path);
    if (instanceId.empty())
        return CR_NO_SUCH_DEVICE_INTERFACE;
    const ULONG size = static_cast<ULONG>((instanceId.size() + 1) * sizeof(wchar_t));
    *type = DEVPROP_TYPE_STRING;
    if (buffer == nullptr || *bufferSize < size) {
        *bufferSize = size;
        return CR_BUFFER_SMALL;
    }
    std::memcpy(buffer, instanceId.c_str(), size);
    *bufferSize = size;
    return CR_SUCCESS;
}

} // extern "C"
