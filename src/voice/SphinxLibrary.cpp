// The recogniser's libraries, opened by the first decoder instead of at start.
#include "SphinxLibrary.h"
#include "platform/Library.h"

namespace voice {

platform::Result<SphinxLibrary> SphinxLibrary::Open()
{
    const auto recogniser = platform::Library::Open(QStringLiteral("pocketsphinx"), 3);
    if (!recogniser)
        return platform::Fail(QStringLiteral("the speech recogniser is not installed (%1); install libpocketsphinx3")
                                  .arg(recogniser.why()));
    const auto base = platform::Library::Open(QStringLiteral("sphinxbase"), 3);
    if (!base)
        return platform::Fail(QStringLiteral("the speech recogniser is not installed (%1); install libsphinxbase3")
                                  .arg(base.why()));
    SphinxLibrary sphinx;
    platform::FunctionTable table{&*recogniser, &*base};
#define VARROW_SPHINX_FIND(name) table(sphinx.name, #name);
    VARROW_SPHINX_FUNCTIONS(VARROW_SPHINX_FIND)
#undef VARROW_SPHINX_FIND
    if (const auto all = table.complete(QStringLiteral("the speech recogniser installed")); !all)
        return platform::Fail(all.why());
    // The library's own log would go to stderr. It is process-wide: a "-logfn" per decoder would
    // close the log file another thread's decoder is writing to, and hang both.
    static const bool quiet = (sphinx.err_set_logfp(nullptr), true);
    (void)quiet;
    return sphinx;
}

} // namespace voice
