/* Kindprobe: what a file that a media player could not play really is.
 *
 * The C interface of libkindprobe. A checker classifies one file at a time from its first bytes
 * and its name. A checker serves one thread at a time (a call from a second thread while one
 * is running returns -EBUSY; handing a checker to another thread between calls is fine); use
 * as many checkers at once as you like.
 *
 * The player's cache directory (its StorePath setting) is read from the environment variable
 * KINDPROBE_STORE_PATH when the first checker is created; without it no file is a cache file.
 * On Windows it is the player's own registry value (StorePath of HKLM\SOFTWARE\Tessmark\Vireo),
 * read at each check as Kindprobe.dll reads it, and the variable is not used.
 *
 * On Windows the library is kindprobe-1.dll, with libkindprobe.dll.a for MinGW and kindprobe.def
 * for an MSVC import library (lib /def:kindprobe.def /out:kindprobe.lib); paths given as char
 * are UTF-8, and each function taking a path has a wchar_t twin, named with _w.
 */
/* clang-format off */
#ifndef KINDPROBE_KINDPROBE_H
#define KINDPROBE_KINDPROBE_H

/* KINDPROBE_VERSION_MAJOR, _MINOR and _PATCH: the release this header belongs to. Functions
 * marked "Since 1.1" need a library of that release or later. */
#include <kindprobe/kindprobe_version.h>

#ifdef _WIN32
#include <stddef.h> /* wchar_t, in C */
#endif

/* The library is built with hidden symbols; these functions are its interface. A Windows DLL
 * exports what its .def file names instead. */
#if defined(_WIN32)
#define KINDPROBE_API
#elif defined(__GNUC__)
#define KINDPROBE_API __attribute__((visibility("default")))
#else
#define KINDPROBE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct kindprobe_checker kindprobe_checker;

typedef struct kindprobe_result {
  int type_id;             /* 0..4 */
  const char *type_name;   /* "Unknown", "PlayerCache", "NonMedia", "ZeroByte", "InvalidMedia" */
  const char *description; /* UTF-8, in the checker's language; owned by the checker, valid
                              until its next check, setting or free */
  int rule;                /* index of the deciding rule, -1 when none */
  int examined;            /* 1 when the file could be opened */
} kindprobe_result;

/* The type ids. */
#define KINDPROBE_TYPE_UNKNOWN 0
#define KINDPROBE_TYPE_PLAYER_CACHE 1
#define KINDPROBE_TYPE_NON_MEDIA 2
#define KINDPROBE_TYPE_ZERO_BYTE 3
#define KINDPROBE_TYPE_INVALID_MEDIA 4

/* A new checker; NULL when memory runs out. */
KINDPROBE_API kindprobe_checker *kindprobe_checker_new(void);

/* Frees a checker and its last report. NULL is allowed. Not while another thread is in a call
 * on it: that is the one misuse the checker cannot refuse. */
KINDPROBE_API void kindprobe_checker_free(kindprobe_checker *checker);

/* Classifies the file named `path` (the name as the OS takes it: any bytes but NUL) into
 * `result`. Returns 0 when there is a result, also for a file that cannot be opened (type 0,
 * examined 0); -EINVAL for a NULL argument, -ENOMEM when memory runs out, -EIO for any other
 * failure, -EBUSY while another thread is using the checker. */
KINDPROBE_API int kindprobe_check(kindprobe_checker *checker, const char *path,
                                  kindprobe_result *result);

/* The library's version, such as "1.1.0.0": that of the library loaded, which may be later than
 * the header's. */
KINDPROBE_API const char *kindprobe_version(void);

/* Since 1.1 ------------------------------------------------------------------------------------
 * Every function below returns -EINVAL for a NULL checker and -EBUSY while another thread is
 * using the checker (those returning a pointer return NULL then). */

/* Languages of descriptions, reason details and codec names. */
#define KINDPROBE_LANG_ZH 0 /* the default, the player's own language */
#define KINDPROBE_LANG_EN 1

/* The language of the checker's later results. Returns 0, or -EINVAL for another value. */
KINDPROBE_API int kindprobe_set_language(kindprobe_checker *checker, int language);

/* With `on` non-zero, later checks also find why a file may not play (the reasons and the
 * streams of the report; kindprobe --explain). Off by default: it may read more of the file. */
KINDPROBE_API int kindprobe_set_explain(kindprobe_checker *checker, int on);

/* Later checks use the rule table in the file `path` (GBK, or UTF-8 with a byte-order mark;
 * kindprobe --rules-file), NULL: the built-in one again. Returns 0, or -errno and keeps the
 * table in use: the error of opening or reading, -EFBIG over 16 MiB, -EILSEQ for text that is
 * neither. */
KINDPROBE_API int kindprobe_set_rules_file(kindprobe_checker *checker, const char *path);

/* Classifies the file open as `fd`, as kindprobe_check does a path; `name` (NULL: none) is what
 * the extension and name rules look at. The descriptor stays open and its offset is not moved.
 * `result` may be NULL, the report holds it all. POSIX only: on Windows a C runtime descriptor
 * belongs to whichever runtime opened it, so this returns -ENOSYS there; check by path. */
KINDPROBE_API int kindprobe_check_fd(kindprobe_checker *checker, int fd, const char *name,
                                     kindprobe_result *result);

/* The report of the checker's last check (before any: an unexamined Unknown). Strings are
 * UTF-8, owned by the checker, valid until its next check, setting or free; an index out of
 * range gives NULL. */
KINDPROBE_API int kindprobe_report_type_id(kindprobe_checker *checker);
KINDPROBE_API const char *kindprobe_report_type_name(kindprobe_checker *checker);
/* In the checker's language. */
KINDPROBE_API const char *kindprobe_report_description(kindprobe_checker *checker);
/* Index of the deciding rule, -1 when none. */
KINDPROBE_API int kindprobe_report_rule(kindprobe_checker *checker);
/* 1 when the file could be opened and read. */
KINDPROBE_API int kindprobe_report_examined(kindprobe_checker *checker);
/* Why the file was not examined: an errno value (EISDIR for a directory, ENODEV for anything
 * else that is not a regular file), 0 when it was. On Windows, for a file that could not be
 * opened, the system's error code (GetLastError) instead of errno. */
KINDPROBE_API int kindprobe_report_error(kindprobe_checker *checker);
/* The same in words, as kindprobe prints it ("cannot open (Permission denied)"); "" when none. */
KINDPROBE_API const char *kindprobe_report_error_text(kindprobe_checker *checker);
/* With explain on: the reasons a file may not play. */
KINDPROBE_API int kindprobe_report_reason_count(kindprobe_checker *checker);
/* "truncated", "renamed", "no-media-data", "damaged", "encrypted", "not-media" or
 * "zero-filled". */
KINDPROBE_API const char *kindprobe_report_reason_code(kindprobe_checker *checker, int index);
/* The reason in a sentence, in the checker's language. */
KINDPROBE_API const char *kindprobe_report_reason_detail(kindprobe_checker *checker, int index);
/* With explain on: the streams found inside the container. */
KINDPROBE_API int kindprobe_report_stream_count(kindprobe_checker *checker);
/* "video", "audio", "subtitle" or "other". */
KINDPROBE_API const char *kindprobe_report_stream_kind(kindprobe_checker *checker, int index);
/* The codec's name in the checker's language. */
KINDPROBE_API const char *kindprobe_report_stream_codec(kindprobe_checker *checker, int index);
/* The container's own identifier of the codec ("hvc1", "A_DTS"). */
KINDPROBE_API const char *kindprobe_report_stream_tag(kindprobe_checker *checker, int index);

#ifdef _WIN32
/* Since 1.1, Windows only: kindprobe_check and kindprobe_set_rules_file with UTF-16 paths. */
KINDPROBE_API int kindprobe_check_w(kindprobe_checker *checker, const wchar_t *path,
                                    kindprobe_result *result);
KINDPROBE_API int kindprobe_set_rules_file_w(kindprobe_checker *checker, const wchar_t *path);
#endif

#ifdef __cplusplus
}
#endif

#endif
