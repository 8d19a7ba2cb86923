// The node's reply, as the window takes it: any 64 bytes decode and show
// without fault; when the window's checks accept the fields shown, a send
// writes back the reply's bytes 1..32 exactly. The command-line tool's view
// of the same reply (`show`, `save`) works on it too, and a saved reply that
// loads back gives the same configuration.

#include "fuzzcheck.h"
#include "fuzzwindow.h"

#include "app/sharedstate.h"
#include "config/configfile.h"
#include "config/configtext.h"
#include "protocol/decode.h"
#include "protocol/encoding.h"
#include "ui/mainwindow.h"

#include <algorithm>

namespace {

MainWindow *window = nullptr;

QString hexOf(const NodeReport &report)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(report.data()), Report::Size).toHex(' '));
}

bool sameConfiguration(const NodeReport &a, const NodeReport &b)
{
    return std::equal(a.begin() + Report::ConfigFirst, a.begin() + Report::MaxUniverses,
                      b.begin() + Report::ConfigFirst);
}

// The window shows the reply, then its send button is pressed with no
// device open, which leaves the encoded configuration in the report buffer.
void checkWindowSend(const NodeReport &reply)
{
    decodeReport(reply);
    QMetaObject::invokeMethod(window, "updateDisplay", Qt::DirectConnection);
    statusText.clear();
    reportBuffer.fill(0);
    QMetaObject::invokeMethod(window, "on_bSend_clicked", Qt::DirectConnection);
    if (!statusText.isEmpty())
        return; // the window's checks refused the fields, and said why
    fuzzCheck(sameConfiguration(reportBuffer, reply), "a send writes back the reply shown",
              QStringLiteral("reply   %1\nwritten %2").arg(hexOf(reply), hexOf(reportBuffer)));
}

// `save` of the reply, then `load`: refused with a message (a code without
// a name, a host octet too low), or the same configuration.
void checkSaveLoad(const NodeReport &reply)
{
    const ConfigFile::Parsed loaded = ConfigFile::fromJson(ConfigFile::toJson(reply));
    if (!loaded.form) {
        fuzzCheck(!loaded.failure.isEmpty(), "a refused saved reply says why");
        return;
    }
    NodeReport written = loaded.form->report();
    // The file keeps the capacity, not its code.
    fuzzCheck(capacityFromByte(written[Report::MaxUniverses])
                  == capacityFromByte(reply[Report::MaxUniverses]),
              "a saved reply keeps its capacity", hexOf(reply));
    written[Report::MaxUniverses] = reply[Report::MaxUniverses];
    fuzzCheck(std::equal(reply.begin() + Report::ConfigFirst, reply.end(),
                         written.begin() + Report::ConfigFirst),
              "a saved reply loads back the same",
              QStringLiteral("reply   %1\nwritten %2").arg(hexOf(reply), hexOf(written)));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    window = &fuzzWindow(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    NodeReport reply{};
    std::copy_n(data, std::min(size, reply.size()), reply.begin());
    checkWindowSend(reply);
    fuzzCheck(configurationLines(reply).size() > 0, "show prints the reply");
    checkSaveLoad(reply);
    return 0;
}
