/* diagnose: what each file named on the command line really is, and why it may not play, from
 * kindprobe-1.dll through its C interface. Build it in this folder with MinGW-w64 (see
 * README.txt); run it with kindprobe-1.dll beside it or on the PATH. */
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

#include <kindprobe/kindprobe.h>

/* Results are written as UTF-8, whatever the console's code page. */
static void PrintWide(const wchar_t *text) {
  char bytes[4096];
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
  if (size > 0) fputs(bytes, stdout);
}

int wmain(int argc, wchar_t **argv) {
  kindprobe_checker *checker = kindprobe_checker_new();
  kindprobe_result result;
  int status = 0;
  int i, r;
  if (checker == NULL) return 1;
  /* English descriptions, and the reasons a file may not play. */
  kindprobe_set_language(checker, KINDPROBE_LANG_EN);
  kindprobe_set_explain(checker, 1);
  printf("kindprobe %s\n", kindprobe_version());
  for (i = 1; i < argc; ++i) {
    if (kindprobe_check_w(checker, argv[i], &result) != 0) {
      status = 1;
      continue;
    }
    PrintWide(argv[i]);
    if (!kindprobe_report_examined(checker)) {
      printf(": %s\n", kindprobe_report_error_text(checker));
      continue;
    }
    printf(": %s (TypeID %d)\n", result.description, result.type_id);
    for (r = 0; r < kindprobe_report_reason_count(checker); ++r)
      printf("  %s: %s\n", kindprobe_report_reason_code(checker, r),
             kindprobe_report_reason_detail(checker, r));
    for (r = 0; r < kindprobe_report_stream_count(checker); ++r)
      printf("  %s %s (%s)\n", kindprobe_report_stream_kind(checker, r),
             kindprobe_report_stream_codec(checker, r), kindprobe_report_stream_tag(checker, r));
  }
  kindprobe_checker_free(checker);
  return status;
}
