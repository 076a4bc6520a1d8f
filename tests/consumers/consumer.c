/* A Linux program using Kindprobe through its installed C interface only:
 * prints "PATH: DESCRIPTION (TypeID N, TYPENAME)" for each argument. */
#include <kindprobe/kindprobe.h>
#include <stdio.h>

int main(int argc, char **argv) {
  kindprobe_checker *checker = kindprobe_checker_new();
  kindprobe_result result;
  int i;
  int status = 0;
  if (checker == NULL) return 3;
  printf("kindprobe %s\n", kindprobe_version());
  for (i = 1; i < argc; ++i) {
    if (kindprobe_check(checker, argv[i], &result) != 0) {
      status = 2;
      continue;
    }
    printf("%s: %s (TypeID %d, %s)\n", argv[i], result.description, result.type_id,
           result.type_name);
    if (!result.examined) status = 1;
  }
  kindprobe_checker_free(checker);
  return status;
}
