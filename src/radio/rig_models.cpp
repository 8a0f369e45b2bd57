#include "radio/rig_models.h"

#include "radio/hamlib_rig.h"
#include "radio/radio_connection.h"

#include <algorithm>
#include <hamlib/rig.h>

namespace {

int addKeyer(const rig_caps *caps, rig_ptr_t data)
{
    if (caps->send_morse && caps->rig_model != RadioConnection::rigctldModel) {
        auto &models = *static_cast<std::vector<RigModel> *>(data);
        models.push_back({int(caps->rig_model), QString::fromUtf8(caps->mfg_name),
                          QString::fromUtf8(caps->model_name), caps->stop_morse != nullptr,
                          (caps->has_set_level & RIG_LEVEL_KEYSPD) != 0});
    }
    return 1; // go on
}

std::vector<RigModel> loadKeyers()
{
    std::vector<RigModel> models;
    HamlibRig::applyDebugOutput();
    rig_load_all_backends();
    rig_list_foreach(addKeyer, &models);
    std::sort(models.begin(), models.end(), [](const RigModel &a, const RigModel &b) {
        const int byMaker = QString::compare(a.maker, b.maker, Qt::CaseInsensitive);
        return byMaker != 0 ? byMaker < 0 : QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
    });
    return models;
}

} // namespace

const std::vector<RigModel> &RigModels::keyers()
{
    static const std::vector<RigModel> models = loadKeyers();
    return models;
}

std::optional<RigModel> RigModels::find(int id)
{
    const auto &models = keyers();
    const auto found =
        std::find_if(models.begin(), models.end(), [id](const RigModel &model) { return model.id == id; });
    return found == models.end() ? std::nullopt : std::optional<RigModel>(*found);
}
