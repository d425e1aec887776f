// Commands heard with a safe margin, kept to adapt on where the user agreed to it, unless undone.
#pragma once
#include "ProfileStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <optional>

namespace voice {

// A command is kept a few seconds after it was heard, and dropped if the user undoes it then: the
// same phrase said again (it did not do what they meant) or "Cancel". What is kept goes to the
// microphone's store, if its user agreed to it; every so many the profile is made again.
class CommandLearning : public QObject {
    Q_OBJECT
public:
    static constexpr int UndoMs = 8000;
    static constexpr int AdaptEvery = 25;

    explicit CommandLearning(ProfileStore& store);
    // A command the recogniser heard with a margin safe to learn from.
    void offer(const QString& microphone, const QString& command, const QString& phrase, const Room& room,
               const std::vector<short>& sound);
    // Every command heard, offered or not.
    void heard(const QString& command);
    void dropPending() { pending_.reset(); }

signals:
    void enoughToAdapt(const QString& microphone);

private:
    struct Pending {
        QString microphone, command, phrase;
        Room room;
        std::vector<short> sound;
    };
    bool undoes(const QString& command) const;
    void commit();

    ProfileStore& store_;
    std::optional<Pending> pending_;
    bool justOffered_ = false;
    QElapsedTimer since_;
    QTimer timer_;
};

} // namespace voice
