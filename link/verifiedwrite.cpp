#include "link/verifiedwrite.h"

#include <algorithm>

namespace {

constexpr std::size_t VerifiedFirst = Report::ConfigFirst;
constexpr std::size_t VerifiedEnd = Report::MaxUniverses; // one past the last

} // namespace

bool holdsConfiguration(const NodeReport &node, const NodeReport &written)
{
    return std::equal(node.begin() + VerifiedFirst, node.begin() + VerifiedEnd,
                      written.begin() + VerifiedFirst);
}

WriteOutcome writeVerified(NodeLink &link, const NodeReport &configuration)
{
    if (!link.write(configuration))
        return {WriteResult::WriteFailed, {}};
    return readBackOutcome(link.read(), configuration);
}

WriteOutcome readBackOutcome(const std::optional<NodeReport> &readBack,
                             const NodeReport &configuration)
{
    if (!readBack)
        return {WriteResult::NoReadBack, {}};
    return {holdsConfiguration(*readBack, configuration) ? WriteResult::Verified
                                                         : WriteResult::Differs,
            *readBack};
}
