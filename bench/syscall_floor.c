/* The least a classifier of file heads has to do per file, as a yardstick: open, fstat, read
 * the first 4096 bytes, read the last byte, close. Paths come from LIST, one per line; with
 * THREADS, that many threads share the list (the parallel floor for a cold cache, where reads
 * in flight matter more than processors).
 *
 * With --walk, the paths come from walking each DIR instead, as a walking classifier must: the
 * calling thread reads the directories (subdirectories included, in the order the system lists
 * them) and hands each file on as soon as it is listed, while the THREADS examine them.
 *
 * With --look first, each path of a list is looked at (stat) before it is opened, and only a
 * regular file is: what a classifier that must never open a device pays per file. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <dirent.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

static char** paths;
static size_t pathCount;  /* paths read; while walking, published through listedCount */
static size_t room;
static atomic_size_t listedCount;
static atomic_bool listingDone;
static atomic_size_t nextPath;
static atomic_ulong checksum; /* keeps the reads from being optimised away */

static int lookFirst;

static void Examine(const char* path, unsigned long* sum, unsigned char* head) {
  struct stat st;
  if (lookFirst && (stat(path, &st) != 0 || !S_ISREG(st.st_mode))) return;
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const ssize_t got = pread(fd, head, 4096, 0);
    if (got > 0) *sum += head[0];
    unsigned char last;
    if (pread(fd, &last, 1, st.st_size - 1) == 1) *sum += last;
  }
  close(fd);
}

static void* Work(void* unused) {
  (void)unused;
  unsigned char head[4096];
  unsigned long sum = 0;
  for (;;) {
    const size_t i = atomic_fetch_add(&nextPath, 1);
    /* Wait for the walk to list path i, or to finish without it. */
    while (i >= atomic_load(&listedCount) && !atomic_load(&listingDone)) sched_yield();
    if (i >= atomic_load(&listedCount)) break;
    Examine(paths[i], &sum, head);
  }
  atomic_fetch_add(&checksum, sum);
  return NULL;
}

static int Add(char* path) {
  if (pathCount == room) {
    /* The walk grows the array while threads read it: a new array each time, the old ones
     * kept until the end (they hold the same pointers). */
    const size_t bigger = room ? 2 * room : 1024;
    char** grown = malloc(bigger * sizeof *grown);
    if (grown == NULL) return -1;
    if (pathCount) memcpy(grown, paths, pathCount * sizeof *grown);
    paths = grown; /* leaked on purpose: a reader may still hold the old one */
    room = bigger;
  }
  paths[pathCount++] = path;
  atomic_store(&listedCount, pathCount);
  return 0;
}

static int ByName(const void* a, const void* b) {
  return strcmp(*(char* const*)a + 1, *(char* const*)b + 1); /* past the type */
}

/* Depth first, each directory's entries in name order, as kindprobe walks: the order decides
 * which files share the inode-table blocks read at once. */
static int Walk(const char* directory) {
  DIR* dir = opendir(directory);
  if (dir == NULL) return 0;
  char** names = NULL;
  size_t count = 0, capacity = 0;
  for (struct dirent* entry; (entry = readdir(dir)) != NULL;) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    if (entry->d_type != DT_DIR && entry->d_type != DT_REG) continue;
    if (count == capacity) {
      capacity = capacity ? 2 * capacity : 256;
      names = realloc(names, capacity * sizeof *names);
      if (names == NULL) return -1;
    }
    /* The type rides in front of the name: 'd' or 'f'. */
    char* typed = malloc(strlen(name) + 2);
    if (typed == NULL) return -1;
    typed[0] = entry->d_type == DT_DIR ? 'd' : 'f';
    strcpy(typed + 1, name);
    names[count++] = typed;
  }
  closedir(dir);
  qsort(names, count, sizeof *names, ByName);
  for (size_t i = 0; i < count; ++i) {
    char* path = malloc(strlen(directory) + strlen(names[i]) + 1);
    if (path == NULL) return -1;
    sprintf(path, "%s/%s", directory, names[i] + 1);
    if (names[i][0] == 'd') {
      const int failed = Walk(path);
      free(path);
      if (failed) return -1;
    } else if (Add(path)) {
      return -1;
    }
    free(names[i]);
  }
  free(names);
  return 0;
}

static int ReadList(const char* listPath) {
  FILE* list = fopen(listPath, "r");
  if (list == NULL) {
    perror(listPath);
    return -1;
  }
  char* line = NULL;
  size_t capacity = 0;
  ssize_t length;
  while ((length = getline(&line, &capacity, list)) > 0) {
    if (line[length - 1] == '\n') line[--length] = '\0';
    if (length == 0) continue;
    if (Add(strdup(line))) return -1;
  }
  free(line);
  fclose(list);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 2 && strcmp(argv[1], "--look") == 0) {
    lookFirst = 1;
    --argc;
    ++argv;
  }
  const int walking = argc >= 2 && strcmp(argv[1], "--walk") == 0;
  if (walking ? argc < 4 : argc != 2 && argc != 3) {
    fprintf(stderr, "usage: syscall_floor [--look] LIST [THREADS]\n"
                    "       syscall_floor --walk THREADS DIR...\n");
    return 2;
  }
  const int threads = walking ? atoi(argv[2]) : argc == 3 ? atoi(argv[2]) : 1;
  if (threads < 1 || threads > 1024) {
    fprintf(stderr, "syscall_floor: THREADS from 1 to 1024\n");
    return 2;
  }
  /* A list is read whole before the threads start; a walk runs beside them. */
  if (!walking && ReadList(argv[1])) return 2;
  if (!walking) atomic_store(&listingDone, 1);
  pthread_t* started = calloc((size_t)threads, sizeof *started);
  for (int i = walking ? 0 : 1; i < threads; ++i) pthread_create(&started[i], NULL, Work, NULL);
  if (walking) {
    for (int i = 3; i < argc; ++i) {
      if (Walk(argv[i])) return 2;
    }
    atomic_store(&listingDone, 1);
  } else {
    Work(NULL);
  }
  for (int i = walking ? 0 : 1; i < threads; ++i) pthread_join(started[i], NULL);
  free(started);
  printf("%zu files (checksum %lu)\n", pathCount, (unsigned long)checksum);
  return 0;
}
