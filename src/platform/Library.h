// A system library opened when a feature first needs it rather than at start, and its functions.
#pragma once
#include "Result.h"

#include <QLibrary>
#include <memory>

namespace platform {

// Linked at build time, a library is loaded and relocated before the first window, whether the
// user ever needs it or not; opened here, it costs nothing until then, and if it is missing only
// the feature that needs it is lost.
class Library {
public:
    // lib<name>.so.<version>, or why it cannot be opened.
    static Result<Library> Open(const QString& name, int version);

    // `function` set to the library's `symbol`; false if the library has none.
    template <typename F> bool find(F*& function, const char* symbol) const
    {
        function = reinterpret_cast<F*>(library_->resolve(symbol));
        return function != nullptr;
    }

private:
    explicit Library(std::shared_ptr<QLibrary> library) : library_(std::move(library)) {}
    std::shared_ptr<QLibrary> library_; // never unloaded: code of it may still run on other threads
};

} // namespace platform
