/* A program written for, and compiled against, libkindprobe 1.0's header (the copy beside
 * this file, never to be edited): it must run unchanged against every later 1.x library.
 *   client FILE...  prints "FILE: DESCRIPTION (TypeID N, TYPENAME, rule R, examined E)" */
#include <kindprobe/kindprobe.h>
#include <stdio.h>

int main(int argc, char **argv) {
  kindprobe_checker *checker = kindprobe_checker_new();
  kindprobe_result result;
  int i;
  if (checker == NULL) return 3;
  if (kindprobe_version()[0] != '1') return 4;
  for (i = 1; i < argc; ++i) {
    if (kindprobe_check(checker, argv[i], &result) != 0) return 2;
    printf("%s: %s (TypeID %d, %s, rule %s, examined %d)\n", argv[i], result.description,
           result.type_id, result.type_name, result.rule >= 0 ? "yes" : "none", result.examined);
  }
  kindprobe_checker_free(checker);
  return 0;
}
