// The window in which the user reads sentences aloud to teach the recogniser their voice.
#pragma once
#include "voice/Decoder.h"

#include <QStringList>
#include <QWidget>
#include <vector>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace training {

// One sentence at a time: the user reads it while holding the talk key, or after pressing Read until
// they stop. A reading that cannot be used is asked again with the reason; Redo takes the one before
// again; Another swaps one the user cannot say for a spare; Cancel keeps nothing.
class TrainingWindow : public QWidget {
    Q_OBJECT
public:
    // The first `count` sentences are read; the rest are spares.
    TrainingWindow(QStringList sentences, int count, bool learning, QWidget* parent = nullptr);
    void begin() { showSentence(0, {}); } // once its signals are connected

    // What the recogniser made of the user's reading of the sentence shown.
    void heard(const voice::Reading& reading);
    void setListening(bool listening);
    const QString& sentence() const { return sentences_[current_]; }

signals:
    void readRequested();
    void sentenceShown(const QString& sentence, int number, int of);
    void readingAccepted(int number);
    void readingRefused(const QString& why);
    // Every sentence has been read: the readings, and whether commands may be kept to learn from.
    void finished(const QStringList& sentences, const std::vector<voice::Reading>& readings, bool learning);
    void cancelled();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showSentence(int index, const QString& note);

    QStringList sentences_, spares_;
    std::vector<voice::Reading> readings_;
    int current_ = 0;
    bool done_ = false;
    QLabel* progressText_;
    QProgressBar* progress_;
    QLabel* sentence_;
    QLabel* note_;
    QCheckBox* learning_;
    QPushButton* read_;
    QPushButton* redo_;
    QPushButton* another_;
};

// Why a reading is asked again, said to the user.
QString ReadingAgain(voice::Reading::Problem problem);

} // namespace training
