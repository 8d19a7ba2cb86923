#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// What every target shares: the entry points libFuzzer calls, and the way a
// target reports a broken property (a message, then abort(), which libFuzzer
// and the replay driver both take for a finding).
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

// Aborts with the property's name and the details when `holds` is false.
void fuzzCheck(bool holds, const char *property, const QString &details = QString());

// The texts of a list, quoted and joined, for the details of a finding.
QString fuzzQuoted(const QString &text);
