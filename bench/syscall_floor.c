/* The least a classifier of file heads has to do per file, as a yardstick: open, fstat, read
 * the first 4096 bytes, read the last byte, close. Paths come from LIST, one per line. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: syscall_floor LIST\n");
    return 2;
  }
  FILE* list = fopen(argv[1], "r");
  if (list == NULL) {
    perror(argv[1]);
    return 2;
  }
  char* line = NULL;
  size_t capacity = 0;
  ssize_t length;
  unsigned char head[4096];
  unsigned long files = 0;
  unsigned long checksum = 0; /* keeps the reads from being optimised away */
  while ((length = getline(&line, &capacity, list)) > 0) {
    if (line[length - 1] == '\n') line[--length] = '\0';
    if (length == 0) continue;
    const int fd = open(line, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      const ssize_t got = pread(fd, head, sizeof head, 0);
      if (got > 0) checksum += head[0];
      unsigned char last;
      if (pread(fd, &last, 1, st.st_size - 1) == 1) checksum += last;
    }
    close(fd);
    ++files;
  }
  free(line);
  fclose(list);
  printf("%lu files (checksum %lu)\n", files, checksum);
  return 0;
}
