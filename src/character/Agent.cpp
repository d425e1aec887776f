// The control each form carries to reach the character server, and its character collection.
#include "Agent.h"

#include "platform/Platform.h"

#include "CharacterServer.h"

namespace character {

platform::Result<> Characters::Load(const QString& id, const QString& file)
{
    const auto stage = server_.load(id, file);
    if (!stage)
        return platform::Fail(stage.why());
    items_[id].reset(CharacterStage::connect(*stage));
    return {};
}

Character* Characters::Item(const QString& id) const
{
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second.get();
}

Character* Characters::LoadOrReport(const QString& id, const QString& file, const QString& who)
{
    const platform::Result<> r = Load(id, file);
    Character* c = r ? Item(id) : nullptr;
    if (platform::UserReport* report = server_.options().stage.report; !c && report)
        report->problem(QStringLiteral("Character not available"),
                        QStringLiteral("%1 cannot reach the character: %2").arg(who, r.why()));
    return c;
}

} // namespace character
