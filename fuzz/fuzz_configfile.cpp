// The configuration file as `load` reads it: any bytes are refused with a
// message, or give a configuration that saves to a file which loads back to
// the same configuration, and saves again to the same file.

#include "fuzzcheck.h"

#include "config/configfile.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const ConfigFile::Parsed parsed = ConfigFile::fromJson(file);
    if (!parsed.form) {
        fuzzCheck(!parsed.failure.isEmpty(), "a refused file says why");
        return 0;
    }
    fuzzCheck(parsed.failure.isEmpty(), "an accepted file has no failure", parsed.failure);

    const NodeReport loaded = parsed.form->report();
    const QByteArray saved = ConfigFile::toJson(loaded);
    const ConfigFile::Parsed reloaded = ConfigFile::fromJson(saved);
    fuzzCheck(reloaded.form.has_value(), "a saved configuration loads back",
              reloaded.failure + QLatin1Char('\n') + QString::fromUtf8(saved));
    fuzzCheck(reloaded.capacity == parsed.capacity, "the capacity comes back",
              QString::fromUtf8(saved));
    const NodeReport again = reloaded.form->report();
    fuzzCheck(again == loaded, "a saved configuration loads back the same",
              QString::fromUtf8(saved));
    fuzzCheck(ConfigFile::toJson(again) == saved, "saving again gives the same file",
              QString::fromUtf8(saved));
    return 0;
}
