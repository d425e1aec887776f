#include "Agent.h"

#include "platform/Platform.h"

#include "CharacterServer.h"

namespace character {

Characters::LoadResult Characters::Load(const QString& id, const QString& file)
{
    QString error;
    const std::shared_ptr<CharacterStage> stage = server_.load(id, file, &error);
    if (!stage)
        return {false, error};
    items_[id].reset(CharacterStage::connect(stage));
    return {true, {}};
}

Character* Characters::Item(const QString& id) const
{
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second.get();
}

Character* Characters::LoadOrReport(const QString& id, const QString& file, const QString& who)
{
    const LoadResult r = Load(id, file);
    Character* c = r.ok ? Item(id) : nullptr;
    if (platform::UserReport* report = server_.options().stage.report; !c && report)
        report->problem(QStringLiteral("Character not available"),
                        QStringLiteral("%1 cannot reach the character: %2").arg(who, r.error));
    return c;
}

} // namespace character
