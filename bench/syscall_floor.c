/* The least a classifier of file heads has to do per file, as a yardstick: open, fstat, read
 * the first 4096 bytes, read the last byte, close. Paths come from LIST, one per line; with
 * THREADS, that many threads share the list (the parallel floor for a cold cache, where reads
 * in flight matter more than processors). */
#define _GNU_SOURCE
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static char** paths;
static size_t pathCount;
static atomic_size_t nextPath;
static atomic_ulong checksum; /* keeps the reads from being optimised away */

static void* Work(void* unused) {
  (void)unused;
  unsigned char head[4096];
  unsigned long sum = 0;
  for (size_t i; (i = atomic_fetch_add(&nextPath, 1)) < pathCount;) {
    const int fd = open(paths[i], O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      const ssize_t got = pread(fd, head, sizeof head, 0);
      if (got > 0) sum += head[0];
      unsigned char last;
      if (pread(fd, &last, 1, st.st_size - 1) == 1) sum += last;
    }
    close(fd);
  }
  atomic_fetch_add(&checksum, sum);
  return NULL;
}

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: syscall_floor LIST [THREADS]\n");
    return 2;
  }
  const int threads = argc == 3 ? atoi(argv[2]) : 1;
  if (threads < 1 || threads > 1024) {
    fprintf(stderr, "syscall_floor: THREADS from 1 to 1024\n");
    return 2;
  }
  FILE* list = fopen(argv[1], "r");
  if (list == NULL) {
    perror(argv[1]);
    return 2;
  }
  char* line = NULL;
  size_t capacity = 0;
  size_t room = 0;
  ssize_t length;
  while ((length = getline(&line, &capacity, list)) > 0) {
    if (line[length - 1] == '\n') line[--length] = '\0';
    if (length == 0) continue;
    if (pathCount == room) {
      room = room ? 2 * room : 1024;
      paths = realloc(paths, room * sizeof *paths);
      if (paths == NULL) return 2;
    }
    paths[pathCount++] = strdup(line);
  }
  free(line);
  fclose(list);
  pthread_t* started = calloc((size_t)threads, sizeof *started);
  for (int i = 1; i < threads; ++i) pthread_create(&started[i], NULL, Work, NULL);
  Work(NULL);
  for (int i = 1; i < threads; ++i) pthread_join(started[i], NULL);
  free(started);
  printf("%zu files (checksum %lu)\n", pathCount, (unsigned long)checksum);
  for (size_t i = 0; i < pathCount; ++i) free(paths[i]);
  free(paths);
  return 0;
}
