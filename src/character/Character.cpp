// One form's connection to a character, and what the Command event carries.
#include "Character.h"

#include "CharacterStage.h"

#include <utility>

namespace character {

Character::Character(std::shared_ptr<CharacterStage> stage, int connection)
    : stage_(std::move(stage)), connection_(connection), commands_([this] { stage_->commandsChanged(this); })
{
}

Character::~Character()
{
    stage_->detach(this);
}

QString Character::id() const { return stage_->id(); }
int Character::Left() const { return stage_->position().x(); }
int Character::Top() const { return stage_->position().y(); }
int Character::Width() const { return stage_->size().width(); }
int Character::Height() const { return stage_->size().height(); }
void Character::setLeft(int left) { stage_->moveTo({left, Top()}, ProgramMoved, connection_); }
void Character::setTop(int top) { stage_->moveTo({Left(), top}, ProgramMoved, connection_); }
int Character::MoveCause() const { return stage_->moveCauseFor(connection_); }

void Character::Show(bool fast) { stage_->setShown(this, true, fast); }
void Character::Hide(bool fast) { stage_->setShown(this, false, fast); }

void Character::Play(const QString& animation)
{
    stage_->request(Request{Request::Kind::Play, connection_, animation, {}, false, false});
}

void Character::Speak(const QString& text)
{
    stage_->request(Request{Request::Kind::Speak, connection_, text, {}, false, false});
}

void Character::GestureAt(int x, int y)
{
    stage_->request(Request{Request::Kind::Gesture, connection_, {}, QPoint(x, y), false, false});
}

void Character::StopAll(const QString& types)
{
    stage_->stopAll(connection_, ParseStopKinds(types));
}

void Character::StopWaiting(const QString& types)
{
    stage_->stopWaiting(connection_, ParseStopKinds(types));
}

void Character::Urgently(const std::function<void()>& requests)
{
    const bool outer = std::exchange(stage_->urgent_, true);
    requests();
    stage_->urgent_ = outer;
}

} // namespace character
