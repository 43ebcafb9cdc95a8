/* Symbol export and C-linkage helpers shared by every public header of tsforge.
   The library is built with hidden visibility; only what is marked TSFORGE_API is
   exported. Plain C: included by C and C++ callers alike. */
#ifndef TSFORGE_CORE_EXPORT_H
#define TSFORGE_CORE_EXPORT_H

#if defined(TSFORGE_STATIC)
#define TSFORGE_API
#elif defined(__GNUC__) || defined(__clang__)
#define TSFORGE_API __attribute__((visibility("default")))
#else
#define TSFORGE_API
#endif

#ifdef __cplusplus
#define TSFORGE_BEGIN_DECLS extern "C" {
#define TSFORGE_END_DECLS }
#else
#define TSFORGE_BEGIN_DECLS
#define TSFORGE_END_DECLS
#endif

#endif /* TSFORGE_CORE_EXPORT_H */
