// Reads the words of a model file in this machine's byte order, each read checked against the end.
#pragma once
#include <QByteArray>
#include <cstring>
#include <type_traits>

namespace voice {

struct ByteReader {
    const QByteArray& bytes;
    qsizetype at = 0;

    template <class T>
    bool read(T& v)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        if (at + qsizetype(sizeof v) > bytes.size())
            return false;
        std::memcpy(&v, bytes.constData() + at, sizeof v);
        at += qsizetype(sizeof v);
        return true;
    }
};

} // namespace voice
