/* Loaded into a program with LD_PRELOAD: counts the calls that change files (creating or opening
 * a file for writing, syncing, renaming, linking, removing, making and removing folders, changing
 * modes) and kills the process, as a power cut or the task manager would, just before call number
 * TC_KILL_AT. With TC_COUNT_FILE, the number of such calls is written there when the program ends
 * normally. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static long kill_at = -1;
static long count = 0;

__attribute__((constructor)) static void Start(void) {
  const char* value = getenv("TC_KILL_AT");
  if (value != NULL) kill_at = atol(value);
}

__attribute__((destructor)) static void End(void) {
  const char* file = getenv("TC_COUNT_FILE");
  if (file == NULL) return;
  FILE* out = fopen(file, "w");
  if (out == NULL) return;
  fprintf(out, "%ld\n", count);
  fclose(out);
}

static void Step(void) {
  if (++count == kill_at) raise(SIGKILL);
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static int Writes(int flags) { return (flags & (O_CREAT | O_WRONLY | O_RDWR | O_TRUNC)) != 0; }

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  mode_t mode = (flags & O_CREAT) ? va_arg(args, mode_t) : 0;
  va_end(args);
  if (Writes(flags)) Step();
  return NEXT(open)(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  mode_t mode = (flags & O_CREAT) ? va_arg(args, mode_t) : 0;
  va_end(args);
  if (Writes(flags)) Step();
  return NEXT(open64)(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  mode_t mode = (flags & O_CREAT) ? va_arg(args, mode_t) : 0;
  va_end(args);
  if (Writes(flags)) Step();
  return NEXT(openat)(dir, path, flags, mode);
}

int fsync(int fd) {
  Step();
  return NEXT(fsync)(fd);
}

int rename(const char* from, const char* to) {
  Step();
  return NEXT(rename)(from, to);
}

int link(const char* from, const char* to) {
  Step();
  return NEXT(link)(from, to);
}

int unlink(const char* path) {
  Step();
  return NEXT(unlink)(path);
}

int mkdir(const char* path, mode_t mode) {
  Step();
  return NEXT(mkdir)(path, mode);
}

int rmdir(const char* path) {
  Step();
  return NEXT(rmdir)(path);
}

int chmod(const char* path, mode_t mode) {
  Step();
  return NEXT(chmod)(path, mode);
}
