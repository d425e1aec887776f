// Tells the user of a problem they should know about: once per problem, on stderr and on the desktop.
#include "UserReport.h"

#include "Notifier.h"

namespace platform {

UserReport::UserReport(Notifier* notifier, std::FILE* stream) : notifier_(notifier), stream_(stream) {}

void UserReport::problem(const QString& summary, const QString& text)
{
    if (said_.contains(text))
        return;
    said_.insert(text);
    if (stream_) {
        std::fprintf(stream_, "Varrow: %s\n", text.toLocal8Bit().constData());
        std::fflush(stream_);
    }
    if (notifier_) {
        // The terminal line follows "Varrow: "; a notification stands on its own and starts a sentence.
        QString body = text;
        if (!body.isEmpty())
            body[0] = body[0].toUpper();
        notifier_->notify(summary, body);
    }
    emit reported(summary, text);
}

} // namespace platform
