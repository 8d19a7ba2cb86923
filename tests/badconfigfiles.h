#pragma once

// Configuration files that a load refuses, each with a part of the French
// message it gets: the command-line tool's table, also run through the
// window's "Ouvrir".

#include "app/messages.h"
#include "config/configfile.h"
#include "testcommon.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <vector>

struct BadConfigurationFile {
    const char *name;
    QByteArray json;
    QString expected;
};

inline QJsonObject savedSampleObject()
{
    return QJsonDocument::fromJson(ConfigFile::toJson(sampleConfiguration())).object();
}

inline QByteArray sampleWithValue(const QString &key, const QJsonValue &value)
{
    QJsonObject object = savedSampleObject();
    object[key] = value;
    return QJsonDocument(object).toJson();
}

inline QByteArray sampleWithout(const QString &key)
{
    QJsonObject object = savedSampleObject();
    object.remove(key);
    return QJsonDocument(object).toJson();
}

inline std::vector<BadConfigurationFile> badConfigurationFiles()
{
    const QString fill = message(Status::FillAllFields);
    const auto withValue = sampleWithValue;
    const auto without = sampleWithout;
    return {
        {"cut short", QByteArray("{\"address\": "), "JSON mal formé"},
        {"not an object", QByteArray("[1, 2]"), "objet JSON"},
        {"key twice", QByteArray("{\"spi2Patch\": [1], \"spi2Patch\": [2]}"),
         "clé « spi2Patch » en double"},
        {"key twice, once escaped", QByteArray("{\"a\": {\"x\": 1, \"\\u0078\": 2}}"),
         "clé « x » en double"},
        {"same key in two objects", QByteArray("[{\"a\": 1}, {\"a\": 2}]"), "objet JSON"},
        {"no version", without("formatVersion"), "clé « formatVersion » absente"},
        {"later version", withValue("formatVersion", 2), "version 2 inconnue"},
        {"unknown key", withValue("colour", "red"), "clé inconnue « colour »"},
        {"missing mask", without("mask"), "« mask » : " + fill},
        {"missing reserved", without("reserved"), "« reserved » : " + fill},
        {"address as number", withValue("address", 12), "« address » : une chaîne"},
        {"three octets", withValue("address", "192.168.1"), "quatre nombres"},
        {"octet 256", withValue("mask", "255.256.0.0"),
         "« mask » : « 256 » n'est pas un nombre entier de 0 à 255"},
        {"empty octet", withValue("broadcast", "2..255.255"), fill},
        {"host octet 14", withValue("address", "2.0.0.14"), message(Status::HostOctetTooLow)},
        {"offset 3.5", withValue("universeOffset", 3.5), "un nombre entier"},
        {"offset as text", withValue("universeOffset", "3"), "un nombre entier"},
        {"offset -1", withValue("universeOffset", -1), "« -1 »"},
        {"unknown chip", withValue("output", "WS2811"), "type de sortie connu"},
        {"chip as code", withValue("output", 2), "le nom d'un type de sortie"},
        {"clock 13", withValue("spi1ClockMHz", 13), message(Status::Spi1FreqTooHigh)},
        {"clock 0.04", withValue("spi2ClockMHz", 0.04), message(Status::Spi2FreqTooLow)},
        {"clock 0", withValue("spi1ClockMHz", 0), message(Status::Spi1FreqTooLow)},
        {"three decimals", withValue("spi1ClockMHz", 0.125), "au plus 2 décimales"},
        {"between steps", withValue("spi2ClockMHz", 0.07), "multiple de 0,05"},
        {"clock as text", withValue("spi1ClockMHz", "0,8"), "un nombre de MHz"},
        {"seven patches", withValue("spi1Patch", QJsonArray{1, 2, 3, 4, 5, 6, 7}), "tableau de 8"},
        {"patch 300", withValue("spi2Patch", QJsonArray{1, 2, 3, 4, 5, 6, 7, 300}),
         "« spi2Patch » : « 300 »"},
        {"patch as text", withValue("spi1Patch", QJsonArray{1, 2, 3, 4, 5, 6, 7, "8"}),
         "tableau de 8"},
        {"capacity 12", withValue("capacity", 12), "8 ou 16"},
        {"reserved short", withValue("reserved", "A2 A3"), "30 octets"},
        {"reserved not hex", withValue("reserved", QString(60, 'Z')), "30 octets"},
    };
}
