#pragma once

// Included once by each test whose windows may start the real browser or media engines (the study materials
// window warms the browser as soon as it is painted). Under AddressSanitizer: QtWebEngine 6.4 frees some of
// its own objects with a sized delete of the wrong size, and it, its font configuration and Qt 6.4's FFmpeg
// media backend keep memory at exit; those are the engines', not ours. Full stacks are needed to tell whose
// an allocation is.
extern "C" const char* __asan_default_options() { // NOLINT(bugprone-reserved-identifier)
    return "new_delete_type_mismatch=0:fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() { // NOLINT(bugprone-reserved-identifier)
    return "leak:libQt6WebEngineCore.so\nleak:libQt6WebEngineWidgets.so\nleak:libfontconfig.so\n"
           "leak:libavutil.so\nleak:libavcodec.so\nleak:libavformat.so\nleak:libffmpegmediaplugin.so\n"
           "leak:libQt6Multimedia.so\n";
}
