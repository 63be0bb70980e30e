#ifndef TRIVELD_TESTS_HANDLE_CENSUS_H
#define TRIVELD_TESTS_HANDLE_CENSUS_H

// Kernel handles open in this process: registry keys, files, events, threads.
// Compare before and after a piece of work to see handles it left open.
long OpenHandleCount();

#endif
