// The connections to one figure: which of them are shown, and whose commands are in effect.
#include "ConnectionRegistry.h"

#include "Character.h"

#include <QMenu>
#include <QPointer>

namespace character {

namespace {
void raiseCommand(Character* c, const UserInput& input)
{
    QMetaObject::invokeMethod(c, [c, input] { emit c->Command(input); }, Qt::QueuedConnection);
}
} // namespace

void ConnectionRegistry::attach(Character* c)
{
    connections_.push_back(c);
}

void ConnectionRegistry::detach(Character* c)
{
    std::erase(connections_, c);
    std::erase(shownOrder_, c->connection());
}

void ConnectionRegistry::shownLast(const Character* c)
{
    std::erase(shownOrder_, c->connection());
    shownOrder_.push_back(c->connection());
}

bool ConnectionRegistry::anyShown() const
{
    return std::any_of(connections_.begin(), connections_.end(), [](const Character* c) { return c->Visible(); });
}

Character* ConnectionRegistry::byConnection(int connection) const
{
    for (Character* c : connections_)
        if (c->connection() == connection)
            return c;
    return nullptr;
}

Character* ConnectionRegistry::inEffect() const
{
    for (auto it = shownOrder_.rbegin(); it != shownOrder_.rend(); ++it)
        if (Character* c = byConnection(*it); c && c->Visible())
            return c;
    if (!shownOrder_.empty())
        return byConnection(shownOrder_.back());
    return connections_.empty() ? nullptr : connections_.front();
}

std::vector<voice::VoicePhrase> ConnectionRegistry::voicePhrasesInEffect() const
{
    std::vector<voice::VoicePhrase> phrases;
    if (const Character* c = inEffect())
        for (const auto& cmd : c->Commands().all())
            if (cmd->Enabled() && !cmd->Voice().trimmed().isEmpty())
                phrases.push_back({cmd->Name(), cmd->Voice()});
    return phrases;
}

bool ConnectionRegistry::deliverCommand(const QString& characterId, const QString& name,
                                        const QString& heardPhrase) const
{
    Character* c = inEffect();
    const CharacterCommand* cmd = c ? c->Commands().Item(name) : nullptr;
    if (!cmd || !cmd->Enabled())
        return false;
    raiseCommand(c, UserInput{name, characterId, heardPhrase, !heardPhrase.isEmpty()});
    return true;
}

void ConnectionRegistry::fillMenu(QMenu& menu, const QString& characterId) const
{
    Character* c = inEffect();
    if (!c)
        return;
    const QPointer<Character> target(c);
    for (const auto& cmd : c->Commands().all()) {
        if (!cmd->listed())
            continue;
        QAction* a = menu.addAction(cmd->Caption());
        a->setEnabled(cmd->Enabled());
        QObject::connect(a, &QAction::triggered, c, [target, characterId, name = cmd->Name()] {
            const CharacterCommand* now = target ? target->Commands().Item(name) : nullptr;
            if (now && now->Enabled())
                raiseCommand(target.data(), UserInput{name, characterId, {}, false});
        });
    }
}

} // namespace character
