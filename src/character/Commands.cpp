// A character object's command menu: what the user can pick or say.
#include "Commands.h"

#include "Log.h"

#include <QtGlobal>

#include <algorithm>

namespace character {

CharacterCommand::CharacterCommand(Commands& owner, QString name, QString caption, QString voice, bool enabled,
                                   bool visible)
    : owner_(owner), name_(std::move(name)), caption_(std::move(caption)), voice_(std::move(voice)),
      enabled_(enabled), visible_(visible)
{
}

void CharacterCommand::setCaption(const QString& caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    owner_.notify();
}

void CharacterCommand::setVoice(const QString& voice)
{
    if (voice_ == voice)
        return;
    voice_ = voice;
    owner_.notify();
}

void CharacterCommand::setEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    owner_.notify();
}

void CharacterCommand::setVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    owner_.notify();
}

bool Commands::Add(const QString& name, const QString& caption, const QString& voice, bool enabled, bool visible)
{
    if (name.isEmpty() || Item(name)) {
        // A program's own command table is at fault, not anything the user did or can mend.
        qCWarning(lcCharacter, "the command \"%s\" could not be added: %s.", qUtf8Printable(name),
                  name.isEmpty() ? "it has no name" : "there is one of that name already");
        return false;
    }
    items_.push_back(std::unique_ptr<CharacterCommand>(new CharacterCommand(*this, name, caption, voice, enabled, visible)));
    notify();
    return true;
}

void Commands::AddAll(std::span<const CommandEntry> table)
{
    for (const CommandEntry& e : table)
        Add(QString::fromUtf8(e.name), QString::fromUtf8(e.caption), QString::fromUtf8(e.voice), e.enabled, e.visible);
}

bool Commands::Remove(const QString& name)
{
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& c) { return c->Name() == name; });
    if (it == items_.end())
        return false;
    items_.erase(it);
    notify();
    return true;
}

CharacterCommand* Commands::Item(const QString& name) const
{
    for (const auto& c : items_)
        if (c->Name() == name)
            return c.get();
    return nullptr;
}

} // namespace character
