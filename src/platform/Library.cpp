// A system library opened when a feature first needs it rather than at start, and its functions.
#include "Library.h"

namespace platform {

Result<Library> Library::Open(const QString& name, int version)
{
    auto library = std::make_shared<QLibrary>(name, version);
    if (!library->load())
        return Fail(library->errorString());
    return Library(std::move(library));
}

Result<> FunctionTable::complete(const QString& library) const
{
    if (missing_.isEmpty())
        return {};
    return Fail(QStringLiteral("%1 is not the one Varrow was built for (it lacks %2)")
                    .arg(library, missing_.join(QStringLiteral(", "))));
}

} // namespace platform
