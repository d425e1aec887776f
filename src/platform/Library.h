// A system library opened when a feature first needs it rather than at start, and its functions.
#pragma once
#include "Result.h"

#include <QLibrary>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <vector>

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

// Fills a table of functions from one or more libraries, so that a library of another version is
// told with every function it lacks rather than failing at the first call.
class FunctionTable {
public:
    FunctionTable(std::initializer_list<const Library*> libraries) : libraries_(libraries) {}

    template <typename F> void operator()(F*& function, const char* symbol)
    {
        for (const Library* library : libraries_)
            if (library->find(function, symbol))
                return;
        missing_ << QString::fromLatin1(symbol);
    }

    // Succeeds if every function was found, else fails saying that `library` (its name in words) is
    // not the one Varrow was built for, with the functions it lacks.
    Result<> complete(const QString& library) const;

private:
    std::vector<const Library*> libraries_;
    QStringList missing_;
};

} // namespace platform
