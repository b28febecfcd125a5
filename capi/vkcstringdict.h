/* The translation dictionary as a C interface, for any language that can call
 * C: an opaque handle over one dictionary, plain functions with int results,
 * and texts as bytes. It is a thin layer over the C++ class VKCStringDict
 * (dict/VKCStringDict.h) and keeps that class's rules; this header says the
 * ones a caller of these functions needs.
 *
 * Builds as C99 and as C++. Every exported name begins with vkc_, every macro
 * with VKC_. The functions use the C calling convention (cdecl on 32-bit
 * Windows too) and undecorated names, so a program can find them with
 * GetProcAddress(h, "vkc_dict_new") or dlsym.
 *
 * Results. Unless a function says otherwise it returns one of these:
 *   VKC_OK          0  done.
 *   VKC_NOT_FOUND   1  a lookup found nothing. Not an error: the message of
 *                      vkc_dict_last_error is left as it was.
 *   VKC_E_ARGUMENT -1  a NULL handle, a NULL where the operation gives NULL no
 *                      meaning, or an argument the operation cannot take: a
 *                      path longer than the 259 bytes a file name may have
 *                      (for a load, also one that becomes that long once
 *                      taken from the current directory; vkc_dict_save has
 *                      no such limit), or a length larger than any block of
 *                      memory. Nothing changes; the message says which.
 *   VKC_E_MEMORY   -2  memory ran out. The dictionary is as it was before the
 *                      call, except after a load, which drops the former
 *                      content before it allocates (the dictionary is then
 *                      empty; see the loads).
 *   VKC_E_OPEN     -3  the file is missing, unreadable, a folder, empty or
 *                      larger than 200,000,000 bytes (for
 *                      vkc_dict_load_string: the text is empty or larger than
 *                      that); the message names the file and the cause, in
 *                      the system's words where the system refused it.
 *   VKC_E_FORMAT   -4  the data is not what the load reads: dictionary text
 *                      without a single record marker, or a file that is not
 *                      a valid binary image.
 *   VKC_E_BROKEN   -5  dictionary text whose record k is broken (one of its
 *                      six section markers is missing): records 0 to k-1 are
 *                      loaded and usable, *count is k, and the message names
 *                      the missing marker and k.
 *   VKC_E_RANGE    -6  a record index out of range.
 *   VKC_E_IO       -7  a write failed (the file could not be opened, or a
 *                      piece of it was not written whole); the message names
 *                      the file and the cause.
 * Every failing call (a negative result) on a handle leaves a short message
 * that vkc_dict_last_error returns.
 *
 * Texts. Texts go in as NUL-terminated bytes; the library does not interpret
 * their encoding (dictionaries are GBK by convention), except that the
 * piecewise matcher cuts CHI texts between whole GBK characters. Texts come
 * out as pointer and length: read exactly that many bytes and do not rely on a
 * NUL after them (a binary image's texts need not have one). A pointer handed
 * out never is NULL, and stays valid until the next load, edit (add, insert,
 * set) or free on the same handle; lookups, matching, saving and rewriting
 * leave it valid.
 *
 * Threads. One handle is used by one thread at a time: calls on the same
 * handle must not overlap. Different handles are independent and may be used
 * by different threads at once.
 *
 * Ownership. A handle is owned by its creator and released with
 * vkc_dict_free. The only memory the library hands over is the buffer
 * vkc_rewrite returns, released with vkc_buffer_free. Everything else a
 * function returns belongs to the library, for as long as stated.
 */
#ifndef VKCSTRINGDICT_H
#define VKCSTRINGDICT_H

#include <stddef.h>
#include <stdint.h>

/* The library's version; vkc_version() gives the one actually loaded. */
#define VKC_VERSION_MAJOR 1
#define VKC_VERSION_MINOR 0
#define VKC_VERSION_PATCH 0

/* VKC_STATIC: the C interface is linked into the program itself rather than
 * taken from the shared library (the project's own allocation tests do so). */
#if defined(_WIN32)
#define VKC_CALL __cdecl
#if defined(VKC_STATIC)
#define VKC_API
#elif defined(VKC_BUILDING_LIBRARY)
#define VKC_API __declspec(dllexport)
#else
#define VKC_API __declspec(dllimport)
#endif
#elif defined(VKC_BUILDING_LIBRARY) && defined(__GNUC__)
#define VKC_CALL
#define VKC_API __attribute__((visibility("default")))
#else
#define VKC_CALL
#define VKC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define VKC_OK 0
#define VKC_NOT_FOUND 1
#define VKC_E_ARGUMENT (-1)
#define VKC_E_MEMORY (-2)
#define VKC_E_OPEN (-3)
#define VKC_E_FORMAT (-4)
#define VKC_E_BROKEN (-5)
#define VKC_E_RANGE (-6)
#define VKC_E_IO (-7)

/* One dictionary. Opaque: only a pointer to it is ever used. */
typedef struct vkc_dict vkc_dict;

/* One record, as the lookups and vkc_dict_record hand it out: three texts as
 * pointer and length (bytes, no NUL counted). The pointers are never NULL (an
 * empty text has length 0) and stay valid as the texts section above says;
 * the structure itself is the caller's. */
typedef struct vkc_record {
    const char* eng; /* source text, the lookup key */
    uint32_t eng_len;
    const char* chi; /* translation */
    uint32_t chi_len;
    const char* remark;
    uint32_t remark_len;
} vkc_record;

/* "MAJOR.MINOR.PATCH" of the library loaded; a static string. */
VKC_API const char* VKC_CALL vkc_version(void);

/* ---- Handles */

/* A new, empty dictionary (no records), or NULL when memory ran out. */
VKC_API vkc_dict* VKC_CALL vkc_dict_new(void);
/* Releases the dictionary and everything handed out from it. NULL does
 * nothing. */
VKC_API void VKC_CALL vkc_dict_free(vkc_dict* d);
/* The message of the last failing call on `d`, "" when no call on it has
 * failed yet; for a NULL `d`, a static message about the NULL handle. Owned
 * by the handle; valid until the next call on `d` or its free. */
VKC_API const char* VKC_CALL vkc_dict_last_error(const vkc_dict* d);

/* ---- Loading. Each load replaces the content (and ends a piecewise match);
 * *count, when `count` is not NULL, receives the number of records usable
 * after the call, whatever the result. Every pointer handed out before a load
 * is invalid after it, whatever the result.
 *
 * A file name without a backslash (and, outside Windows, not starting with
 * '/') is taken from the current directory. Outside Windows a backslash is an
 * ordinary byte of a name, never a folder separator. When the load fails the content
 * is what the class leaves: for VKC_E_ARGUMENT nothing changes; for
 * VKC_E_OPEN the former records stay; for VKC_E_BROKEN records 0 to k-1 of
 * the new data; for VKC_E_FORMAT of a text load, no records; for an image
 * load's VKC_E_OPEN, VKC_E_FORMAT and for VKC_E_MEMORY, no records. */

/* Loads a dictionary text file and remembers its path for vkc_dict_reload.
 * VKC_OK (at least one record), VKC_E_ARGUMENT, VKC_E_MEMORY, VKC_E_OPEN,
 * VKC_E_FORMAT or VKC_E_BROKEN. */
VKC_API int VKC_CALL vkc_dict_load_file(vkc_dict* d, const char* path, uint32_t* count);
/* Loads dictionary text held in memory, up to its NUL (copied; `text` may be
 * one of this dictionary's own texts). Forgets the path. Results as
 * vkc_dict_load_file. */
VKC_API int VKC_CALL vkc_dict_load_string(vkc_dict* d, const char* text, uint32_t* count);
/* Drops everything and loads the text file last loaded again. Results as
 * vkc_dict_load_file; VKC_E_OPEN when the content did not come from a file. */
VKC_API int VKC_CALL vkc_dict_reload(vkc_dict* d, uint32_t* count);
/* Loads a binary dictionary image; its records keep the image's order.
 * VKC_OK (also for an image of no records), VKC_E_ARGUMENT, VKC_E_MEMORY,
 * VKC_E_OPEN or VKC_E_FORMAT. */
VKC_API int VKC_CALL vkc_dict_load_image(vkc_dict* d, const char* path, uint32_t* count);

/* ---- Saving. Both write the whole dictionary as dictionary text: a header
 * line with the time of writing, the records numbered from 0 by their
 * position, the terminator. */

/* Writes the dictionary as the file at `path` (taken as given; a relative
 * path from the current directory), replacing the file whole or not at all:
 * the text goes to a new file beside the target, which takes the target's
 * place in one step (a rename) only once it is complete. On any failure the
 * target is as it was and no new file stays behind. What the user set on the
 * target is kept:
 *   - a symbolic link is followed, and the file it reaches is replaced, so
 *     the link stays a link;
 *   - the new file gets the replaced file's permission bits and, where the
 *     process may set them, its owner and group (Windows: its attributes);
 *   - a read-only target (no write permission) is refused;
 *   - a target that is no regular file (a FIFO, a device) is written into
 *     directly, never replaced; a FIFO's write waits for its reader.
 * A file with several hard links is replaced under the name given; its other
 * names keep the old content. The path may be as long as the system allows.
 * VKC_OK; VKC_E_ARGUMENT (NULL `d` or `path`, an empty `path`); VKC_E_MEMORY;
 * VKC_E_IO (the target is a folder or read-only, no file can be made beside
 * it, or a write or the replacement failed), with a message that names the
 * target, never the file made beside it.
 *
 * On POSIX systems the first save sets a handler that removes the file made
 * beside the target before the process ends by a signal, for each signal
 * from outside the process that ends it by default (SIGINT, SIGTERM, SIGHUP,
 * SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, ...) whose action is still the
 * default, and ignores SIGXFSZ if it was at its default, so that a write past
 * the file size limit fails instead. An ignored signal stays ignored, and a
 * handler the program set itself is kept (a program that ends from it during
 * a save may leave that file behind). Saves on different handles may run at
 * once. */
VKC_API int VKC_CALL vkc_dict_save(vkc_dict* d, const char* path);

/* APPENDS the dictionary text to the end of the file at `path` (taken as
 * given, created when missing): the library's own writer, which writes the
 * file in three pieces in place; to replace a file, use vkc_dict_save.
 * VKC_OK; VKC_E_ARGUMENT (also for a path longer than 259 bytes);
 * VKC_E_MEMORY (nothing written); VKC_E_IO when the file could not be opened
 * or a piece was not written whole (what was written stays). */
VKC_API int VKC_CALL vkc_dict_append_to_file(vkc_dict* d, const char* path);

/* ---- Records */

/* *count = the number of records. VKC_OK or VKC_E_ARGUMENT. */
VKC_API int VKC_CALL vkc_dict_count(const vkc_dict* d, uint32_t* count);
/* *out = record `index`. VKC_OK, VKC_E_ARGUMENT or VKC_E_RANGE (index at or
 * beyond the count). */
VKC_API int VKC_CALL vkc_dict_record(const vkc_dict* d, uint32_t index, vkc_record* out);

/* ---- Lookups. The text looked up has its leading and trailing blanks (0x20)
 * trimmed first; the caller's text is not changed. ENG texts compare as
 * unsigned bytes. The records are expected in ascending ENG order, as a
 * loaded dictionary file or the adds keep them. */

/* Finds the record whose ENG text equals `text`: VKC_OK with *out (and, when
 * `index` is not NULL, *index); VKC_NOT_FOUND; VKC_E_ARGUMENT (NULL `d`,
 * `text` or `out`); VKC_E_MEMORY. */
VKC_API int VKC_CALL vkc_dict_find(vkc_dict* d, const char* text, vkc_record* out, uint32_t* index);
/* *index = the index of the record whose ENG text equals `text`, *found = 1;
 * or, when there is none, the position at which it would be inserted (0 to
 * the count), *found = 0. VKC_OK, VKC_E_ARGUMENT (any NULL) or
 * VKC_E_MEMORY. */
VKC_API int VKC_CALL vkc_dict_find_index(vkc_dict* d, const char* text, uint32_t* index,
                                         int* found);

/* ---- Editing. Every edit ends a piecewise match and invalidates every
 * pointer handed out before it. Texts are copied in (they may be this
 * dictionary's own texts). */

/* Adds a record in sorted position with the trimmed `eng` as its key; a NULL
 * `chi` or `remark` stands for `eng` as passed. When a record with that key
 * exists already, it is returned unchanged and nothing is added. VKC_OK with
 * *out (and *index, each when not NULL) the new or existing record;
 * VKC_E_ARGUMENT (NULL `d` or `eng`); VKC_E_MEMORY. */
VKC_API int VKC_CALL vkc_dict_add(vkc_dict* d, const char* eng, const char* chi, const char* remark,
                                  vkc_record* out, uint32_t* index);
/* Inserts a record of three empty texts at `index` (0 to the count; the count
 * appends), shifting the later ones; the ENG order is not kept. *count (when
 * not NULL) = the new count. VKC_OK, VKC_E_ARGUMENT, VKC_E_RANGE (index beyond
 * the count) or VKC_E_MEMORY. */
VKC_API int VKC_CALL vkc_dict_insert_blank(vkc_dict* d, uint32_t index, uint32_t* count);
/* Replace one text of record `index`; a NULL `text` is the empty text. The
 * ENG text is stored as given: not trimmed, not re-sorted. VKC_OK,
 * VKC_E_ARGUMENT, VKC_E_RANGE (index at or beyond the count) or
 * VKC_E_MEMORY. */
VKC_API int VKC_CALL vkc_dict_set_eng(vkc_dict* d, uint32_t index, const char* text);
VKC_API int VKC_CALL vkc_dict_set_chi(vkc_dict* d, uint32_t index, const char* text);
VKC_API int VKC_CALL vkc_dict_set_remark(vkc_dict* d, uint32_t index, const char* text);

/* ---- Piecewise matching: a source text that arrives in pieces (as a game
 * draws it) is matched piece by piece against one record's ENG text, and the
 * record's CHI text is handed out in pieces of about the same byte length,
 * cut between whole GBK characters. */

/* Takes the next piece. The first piece (blanks around it ignored) picks the
 * first record, in the dictionary's order, whose ENG text begins with it but
 * is longer; each later piece must continue that ENG text where the previous
 * one ended (blanks between skipped). Returns
 *   1  the next piece of the translation is in `out`; the match goes on;
 *   2  the rest of the translation is in `out`; the match is complete;
 *   0  nothing handed out, the match abandoned (no record begins with the
 *      piece, the piece does not continue the ENG text, or the translation's
 *      piece and its NUL do not fit in `capacity` bytes);
 * or VKC_E_ARGUMENT (NULL `d`, `piece` or `out`, or `capacity` 0) or
 * VKC_E_MEMORY, both leaving a match in progress as it was. `out` receives
 * the piece NUL-terminated, and is written only for 1 or 2.
 * vkc_dict_match_capacity gives a capacity that always suffices. */
VKC_API int VKC_CALL vkc_dict_match(vkc_dict* d, const char* piece, char* out, uint32_t capacity);
/* *capacity = the longest CHI text's length + 1: an `out` of that many bytes
 * holds any piece vkc_dict_match hands out until the next load or edit.
 * VKC_OK or VKC_E_ARGUMENT. */
VKC_API int VKC_CALL vkc_dict_match_capacity(vkc_dict* d, uint32_t* capacity);

/* ---- Rewriting a script in memory */

/* Rewrites the `length` bytes at `script` (NUL bytes allowed; `script` may be
 * NULL when `length` is 0) by the substitution tool's rule: every text between
 * '[' and ']' or between two '"' whose record exists and has a non-empty CHI
 * text is replaced by that CHI text; delimiters and everything else are kept
 * byte for byte; a '[' or '"' inside a text belongs to that text; a text of
 * 2048 bytes or more, and everything after an opening delimiter that is never
 * closed, stay as they are. The result is exactly what the substitution tool
 * writes for the same script and dictionary.
 * VKC_OK with *out a new buffer of *out_length bytes (followed by a NUL not
 * counted; never NULL), owned by the caller and released with
 * vkc_buffer_free; VKC_E_ARGUMENT (NULL `d`, `out` or `out_length`, NULL
 * `script` with a length, or a length above PTRDIFF_MAX, which no block of
 * memory has); VKC_E_MEMORY. On failure *out is NULL and
 * *out_length 0. The dictionary's records and the pointers handed out stay
 * valid. */
VKC_API int VKC_CALL vkc_rewrite(vkc_dict* d, const void* script, size_t length, char** out,
                                 size_t* out_length);
/* Releases a buffer vkc_rewrite returned. NULL does nothing. */
VKC_API void VKC_CALL vkc_buffer_free(char* buffer);

#ifdef __cplusplus
}
#endif

#endif /* VKCSTRINGDICT_H */
