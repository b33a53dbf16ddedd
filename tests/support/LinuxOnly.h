#pragma once

// The one list of core tests that run in the Linux build only, and why. A test
// about one of these facilities sits inside `#if QUILLON_TEST_<NAME>`; every
// other core test runs in both builds.
//
//   SYMLINKS     symbolic links, fifos and sockets: wine cannot make them.
//   OTHER_USER   POSIX permissions checked as another user (setpriv, mode bits
//                that root ignores); Windows has neither.
//   MODES        POSIX permission bits and the umask (a private file's 0600,
//                a script's execute bits); Windows files have none but the
//                read-only attribute, which SetReadOnly in TempDir.h covers
//                in both builds.
//   FULL_DISK    a full disk through RLIMIT_FSIZE and SIGXFSZ (FailingWrites.h).
//   FUSE         case-folding exFAT volumes mounted through FUSE (ExfatMount.h).
//   BYTE_NAMES   names that are not UTF-8 or hold characters Windows forbids
//                (line breaks, "\"), and trees past the path limit built with
//                the POSIX *at() calls.
//   CASE_APART   a folder that keeps "photo.jpg" and "Photo.JPG" apart; Windows
//                folders fold case (WindowsBuildTest.cpp and the exFAT tests
//                check folding).
//   OWN_INI      the exact text the Linux build's own settings-file writer
//                produces and its trimming rules; the Windows build goes
//                through the system's profile service, whose file (UTF-16,
//                CRLF, no rewrite on read) WindowsBuildTest.cpp checks.
//   CLAIMS       an empty file claiming a temporary name, made only where the
//                volume refuses the no-replace rename (Linux, exFAT). The
//                Windows recovery does not tell such a leftover claim from a
//                moved entry yet (it counts one change and leaves the claim).
//   SHELL        sh, dash and bash running the Linux undo file (the Windows
//                one runs under cmd in WindowsBuildTest.cpp).
//   STRACE       system calls made to fail through strace -e inject.
//   PROCESSES    fork, kill -9 and /proc: a crash of a real child process, a
//                copy of the running executable found through /proc/self/exe.
//   FNMATCH      the Linux build's shell wildcards (fnmatch: brackets,
//                backslash escapes); the Windows build has only the system's
//                own wildcards, tested with Build::Windows in both builds.
#ifdef _WIN32
#define QUILLON_TEST_SYMLINKS 0
#define QUILLON_TEST_OTHER_USER 0
#define QUILLON_TEST_FULL_DISK 0
#define QUILLON_TEST_FUSE 0
#define QUILLON_TEST_PROCESSES 0
#define QUILLON_TEST_SHELL 0
#define QUILLON_TEST_CLAIMS 0
#define QUILLON_TEST_OWN_INI 0
#define QUILLON_TEST_BYTE_NAMES 0
#define QUILLON_TEST_FNMATCH 0
#define QUILLON_TEST_CASE_APART 0
#define QUILLON_TEST_MODES 0
#define QUILLON_TEST_STRACE 0
#else
#define QUILLON_TEST_SYMLINKS 1
#define QUILLON_TEST_OTHER_USER 1
#define QUILLON_TEST_FULL_DISK 1
#define QUILLON_TEST_FUSE 1
#define QUILLON_TEST_PROCESSES 1
#define QUILLON_TEST_SHELL 1
#define QUILLON_TEST_CLAIMS 1
#define QUILLON_TEST_OWN_INI 1
#define QUILLON_TEST_BYTE_NAMES 1
#define QUILLON_TEST_FNMATCH 1
#define QUILLON_TEST_CASE_APART 1
#define QUILLON_TEST_MODES 1
#define QUILLON_TEST_STRACE 1
#endif
