// The clipboard's text.
#pragma once
#include <QString>

namespace platform {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's plain text; empty when it holds no text (an image only, nothing at all).
    virtual QString GetText() const = 0;
};

class QtClipboard final : public Clipboard {
public:
    QString GetText() const override;
};

} // namespace platform
