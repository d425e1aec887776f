// The recogniser's libraries, opened by the first decoder instead of at start.
#pragma once
#include "platform/Result.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

// libpocketsphinx has these, without a header.
extern "C" {
struct bin_mdef_s;
bin_mdef_s* bin_mdef_read(cmd_ln_t* config, const char* filename);
int bin_mdef_write_text(bin_mdef_s* m, const char* filename);
int bin_mdef_free(bin_mdef_s* m);
}

namespace voice {

// What of PocketSphinx and SphinxBase Varrow calls; the macros of their headers are spelt out
// where they are used.
#define VARROW_SPHINX_FUNCTIONS(X)                                                                                     \
    X(ps_args) X(ps_init) X(ps_free) X(ps_get_config) X(ps_add_word) X(ps_lookup_word) X(ps_set_search)               \
    X(ps_set_jsgf_string) X(ps_set_allphone_file) X(ps_start_utt) X(ps_process_raw) X(ps_end_utt) X(ps_get_hyp)      \
    X(ps_seg_iter) X(ps_seg_next) X(ps_seg_word) X(ps_seg_frames) X(ps_seg_prob) X(ps_mllr_read) X(ps_update_mllr)   \
    X(bin_mdef_read) X(bin_mdef_write_text) X(bin_mdef_free) X(cmd_ln_init) X(cmd_ln_free_r) X(cmd_ln_int_r)         \
    X(cmd_ln_float_r) X(cmd_ln_set_int_r) X(cmd_ln_set_float_r) X(cmd_ln_set_str_r) X(ckd_free) X(err_set_logfp)

struct SphinxLibrary {
#define VARROW_SPHINX_POINTER(name) decltype(&::name) name = nullptr;
    VARROW_SPHINX_FUNCTIONS(VARROW_SPHINX_POINTER)
#undef VARROW_SPHINX_POINTER

    // The functions, or why voice commands cannot work without them.
    static platform::Result<SphinxLibrary> Open();
};

} // namespace voice
