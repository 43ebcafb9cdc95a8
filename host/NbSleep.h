/* Stand-in for the host's cooperative scheduling hook (libNbUtils). The forecaster
   calls it once per candidate model so a host can yield or watch progress; this
   stand-in returns at once. Plain C. */
#ifndef TSFORGE_HOST_NBSLEEP_H
#define TSFORGE_HOST_NBSLEEP_H

#if defined(__GNUC__) || defined(__clang__)
#define NBSLEEP_API __attribute__((visibility("default")))
#else
#define NBSLEEP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* what: the host's sleep selector (the caller passes 1); file and line: the caller. */
NBSLEEP_API int NBSLEEP_InTeRnAl(int what, const char *file, int line);

#ifdef __cplusplus
}
#endif

#endif /* TSFORGE_HOST_NBSLEEP_H */
