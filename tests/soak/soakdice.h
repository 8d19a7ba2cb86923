#pragma once

#include "protocol/nodereport.h"

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

// The soak's one source of chance: every choice it makes comes from one
// seeded generator, so that a seed replays the same run. The texts it
// offers are what a user might type, valid or not.
class SoakDice
{
public:
    explicit SoakDice(std::uint64_t seed);

    int below(int count);
    bool chance(int percent);
    template <typename T>
    T pick(const std::vector<T> &items)
    {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }

    QString byteText();
    QString hostText();
    QString clockText();
    QString unitNumberText();
    // A valid text for the edit, so that a send can pass its checks.
    QString validText(bool clock, bool host);

    // A node's configuration: mostly plausible, sometimes anything.
    NodeReport configuration();
    int capacityCode();

private:
    QString numberBetween(int lowest, int highest);
    QString oneOf(std::initializer_list<const char *> texts);

    std::mt19937_64 engine;
};
