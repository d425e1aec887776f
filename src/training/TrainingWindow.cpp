// The window in which the user reads sentences aloud to teach the recogniser their voice.
#include "TrainingWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

namespace training {

QString ReadingAgain(voice::Reading::Problem problem)
{
    using P = voice::Reading::Problem;
    switch (problem) {
    case P::None:
        return {};
    case P::Empty:
        return QStringLiteral("Genie heard nothing. Please read it again, a little louder.");
    case P::TooQuiet:
        return QStringLiteral("That was too quiet. Please come closer to the microphone, or turn it up, and read it again.");
    case P::Clipped:
        return QStringLiteral("That was too loud for the microphone. Please move back a little, or turn it down, and read it again.");
    case P::Mismatch:
        return QStringLiteral("That did not sound like the sentence. Please read it again, just as it is written.");
    }
    return {};
}

TrainingWindow::TrainingWindow(QStringList sentences, int count, bool learning, QWidget* parent)
    : QWidget(parent, Qt::Window), sentences_(sentences.mid(0, count)), spares_(sentences.mid(count))
{
    setWindowTitle(QStringLiteral("Teach Genie your voice"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* intro = new QLabel(QStringLiteral(
        "Read each sentence aloud, as you talk to Genie. Hold the Pause key (or the middle button on Genie) while "
        "you read, or press Read and start: Genie listens until you stop."));
    intro->setWordWrap(true);
    progressText_ = new QLabel;
    progress_ = new QProgressBar;
    progress_->setRange(0, int(sentences_.size()));
    progress_->setTextVisible(false);
    sentence_ = new QLabel;
    sentence_->setWordWrap(true);
    sentence_->setAlignment(Qt::AlignCenter);
    sentence_->setMinimumHeight(90);
    QFont big = sentence_->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    sentence_->setFont(big);
    sentence_->setFrameShape(QFrame::StyledPanel);
    note_ = new QLabel;
    note_->setWordWrap(true);
    note_->setMinimumHeight(2 * note_->fontMetrics().lineSpacing());
    learning_ = new QCheckBox(QStringLiteral("Keep learning from the commands Genie hears clearly\n"
                                             "(their recordings stay on this computer)"));
    learning_->setChecked(learning);
    read_ = new QPushButton(QStringLiteral("&Read"));
    read_->setDefault(true);
    redo_ = new QPushButton(QStringLiteral("Read the &previous one again"));
    another_ = new QPushButton(QStringLiteral("&Another sentence"));
    another_->setEnabled(!spares_.isEmpty());
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));

    auto* top = new QHBoxLayout;
    top->addWidget(progressText_);
    top->addWidget(progress_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(redo_);
    buttons->addWidget(another_);
    buttons->addStretch(1);
    buttons->addWidget(read_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(top);
    layout->addWidget(sentence_);
    layout->addWidget(note_);
    layout->addWidget(learning_);
    layout->addLayout(buttons);
    setMinimumWidth(520);

    connect(read_, &QPushButton::clicked, this, &TrainingWindow::readRequested);
    connect(redo_, &QPushButton::clicked, this, [this] {
        readings_.pop_back();
        showSentence(current_ - 1, QStringLiteral("Read this one again."));
    });
    // A word the user does not know, or one the recogniser keeps mishearing, need not stop the session.
    connect(another_, &QPushButton::clicked, this, [this] {
        spares_ << std::exchange(sentences_[current_], spares_.takeFirst());
        showSentence(current_, QStringLiteral("Here is another one."));
    });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

void TrainingWindow::showSentence(int index, const QString& note)
{
    current_ = index;
    progressText_->setText(QStringLiteral("Sentence %1 of %2").arg(index + 1).arg(sentences_.size()));
    progress_->setValue(index);
    sentence_->setText(sentences_[index]);
    note_->setText(note);
    redo_->setEnabled(index > 0);
    emit sentenceShown(sentences_[index], index + 1, int(sentences_.size()));
}

void TrainingWindow::setListening(bool listening)
{
    read_->setEnabled(!listening);
    another_->setEnabled(!listening && !spares_.isEmpty());
    redo_->setEnabled(!listening && current_ > 0);
    if (listening)
        note_->setText(QStringLiteral("Listening…"));
}

void TrainingWindow::heard(const voice::Reading& reading)
{
    if (done_)
        return;
    if (reading.problem != voice::Reading::Problem::None) {
        note_->setText(ReadingAgain(reading.problem));
        emit readingRefused(note_->text());
        return;
    }
    readings_.push_back(reading);
    emit readingAccepted(current_ + 1);
    if (current_ + 1 < sentences_.size()) {
        showSentence(current_ + 1, QStringLiteral("Got it."));
        return;
    }
    done_ = true;
    progress_->setValue(progress_->maximum());
    emit finished(sentences_, readings_, learning_->isChecked());
    close();
}

void TrainingWindow::closeEvent(QCloseEvent* event)
{
    if (!done_) {
        done_ = true;
        emit cancelled();
    }
    event->accept();
}

} // namespace training
