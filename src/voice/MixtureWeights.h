// The stock model's mixture weights as the training tools read them, rebuilt from the decoder's copy.
#pragma once
#include "platform/Result.h"

#include <QString>

namespace voice {

// Writes a Sphinx-3 "mixture_weights" file at `out` from a PocketSphinx "sendump" (which Debian's
// model ships in its place); the weights load back into exactly the decoder's.
platform::Result<> RecoverMixtureWeights(const QString& sendump, const QString& out);

} // namespace voice
