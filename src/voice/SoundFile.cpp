// A raw sound file heard as if said into a microphone now, for trying voice commands without one.
#include "SoundFile.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace voice {

bool SoundFile::load()
{
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly) || f.size() > maxBytes)
        return false;
    const QByteArray bytes = f.readAll();
    samples_.resize(size_t(bytes.size()) / 2);
    std::memcpy(samples_.data(), bytes.constData(), samples_.size() * 2);
    after_.emplace(samples_);
    return true;
}

platform::Result<> SoundFile::start()
{
    if (!load())
        return platform::Fail(QStringLiteral("The sound file %1 cannot be read any more, so voice commands are off.")
                                  .arg(path_));
    pos_ = 0;
    started_.start();
    return {};
}

std::vector<short> SoundFile::stop()
{
    const size_t due = size_t(started_.elapsed()) * 16;
    std::vector<short> rest(due - std::min(due, pos_));
    if (!rest.empty())
        read(rest.data(), rest.size());
    return rest;
}

platform::Result<size_t> SoundFile::read(short* buffer, size_t max)
{
    const size_t due = size_t(started_.elapsed()) * 16;
    const size_t n = std::min(max, due - std::min(due, pos_));
    const size_t fromFile = std::min(n, samples_.size() - std::min(samples_.size(), pos_));
    std::copy_n(samples_.data() + pos_, fromFile, buffer);
    after_->fill(buffer + fromFile, n - fromFile);
    pos_ += n;
    return n;
}

platform::Result<std::unique_ptr<AudioSource>> OpenSoundFile(const QString& path)
{
    auto file = std::make_unique<SoundFile>(path);
    if (!file->load())
        return platform::Fail(
            QStringLiteral("The sound file %1 cannot be read or is longer than a minute, so voice commands are off.").arg(path));
    return std::unique_ptr<AudioSource>(std::move(file));
}

} // namespace voice
