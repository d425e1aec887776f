// A character object's command menu: what the user can pick or say.
#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace character {

class Commands;

// One row of a form's command table, added as it stands.
struct CommandEntry {
    const char* name;
    const char* caption; // "" for a command reached by voice only
    const char* voice;
    bool enabled;
    bool visible;
};

// One entry of a character's command menu.
class CharacterCommand {
public:
    const QString& Name() const { return name_; }
    const QString& Caption() const { return caption_; }
    const QString& Voice() const { return voice_; }
    bool Enabled() const { return enabled_; }
    bool Visible() const { return visible_; }
    void setCaption(const QString& caption);
    void setVoice(const QString& voice);
    void setEnabled(bool enabled);
    void setVisible(bool visible);
    // Listed in the pop-up menu: visible and captioned.
    bool listed() const { return visible_ && !caption_.isEmpty(); }

private:
    friend class Commands;
    CharacterCommand(Commands& owner, QString name, QString caption, QString voice, bool enabled, bool visible);
    Commands& owner_;
    QString name_, caption_, voice_;
    bool enabled_, visible_;
};

// A character object's command collection, in the order the commands were added.
class Commands {
public:
    explicit Commands(std::function<void()> changed = {}) : changed_(std::move(changed)) {}
    Commands(const Commands&) = delete;
    Commands& operator=(const Commands&) = delete;

    // False (and nothing added) when the name is empty or already taken.
    bool Add(const QString& name, const QString& caption, const QString& voice, bool enabled = true, bool visible = true);
    // The rows in table order.
    void AddAll(std::span<const CommandEntry> table);
    // False when there is no such command.
    bool Remove(const QString& name);
    CharacterCommand* Item(const QString& name) const;
    int Count() const { return int(items_.size()); }
    const std::vector<std::unique_ptr<CharacterCommand>>& all() const { return items_; }

private:
    friend class CharacterCommand;
    void notify() const
    {
        if (changed_)
            changed_();
    }
    std::function<void()> changed_;
    std::vector<std::unique_ptr<CharacterCommand>> items_;
};

} // namespace character
