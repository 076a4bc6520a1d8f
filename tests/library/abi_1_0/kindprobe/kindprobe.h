/* Kindprobe: what a file that a media player could not play really is.
 *
 * The C interface of libkindprobe. A checker classifies one file at a time from its first bytes
 * and its name; use one checker per thread, as many checkers at once as you like.
 *
 * The player's cache directory (its StorePath setting) is read from the environment variable
 * KINDPROBE_STORE_PATH when the first checker is created; without it no file is a cache file.
 */
/* clang-format off */
#ifndef KINDPROBE_KINDPROBE_H
#define KINDPROBE_KINDPROBE_H

/* The library is built with hidden symbols; these four are its interface. */
#if defined(__GNUC__)
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
  const char *description; /* UTF-8; owned by the checker, valid until its next check or free */
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

/* Frees a checker and its last description. NULL is allowed. */
KINDPROBE_API void kindprobe_checker_free(kindprobe_checker *checker);

/* Classifies the file named `path` (the name as the OS takes it: any bytes but NUL) into
 * `result`. Returns 0 when there is a result, also for a file that cannot be opened (type 0,
 * examined 0); -EINVAL for a NULL argument, -ENOMEM when memory runs out, -EIO for any other
 * failure. */
KINDPROBE_API int kindprobe_check(kindprobe_checker *checker, const char *path,
                                  kindprobe_result *result);

/* The library's version, "1.0.0.1". */
KINDPROBE_API const char *kindprobe_version(void);

#ifdef __cplusplus
}
#endif

#endif
