#pragma once

#include <QString>

#include <optional>
#include <vector>

// A radio model of Hamlib's whose keyer takes CW text over CAT.
struct RigModel
{
    int id = 0;
    QString maker;
    QString name;
    bool stopsMidText = false; // Hamlib can stop its keyer before the text it holds has gone out
    bool setsSpeed = false;    // Hamlib can set its keyer's speed

    QString displayName() const { return maker + u' ' + name; }
};

// Hamlib's own list of models, as the preferences offer it: those that can key text, by maker and model.
class RigModels
{
public:
    static const std::vector<RigModel> &keyers();
    static std::optional<RigModel> find(int id);
};
