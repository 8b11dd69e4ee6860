/* The floor for writing a table: the same texts and borders as a converted drawn table
 * (make_table.py), written through libxlsxwriter alone.
 *
 *   gm_bench_xlsx_only OUT.xlsx ROWS COLUMNS
 */
#include <stdio.h>
#include <stdlib.h>
#include <xlsxwriter.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s OUT.xlsx ROWS COLUMNS\n", argv[0]);
    return 2;
  }
  const int rows = atoi(argv[2]), cols = atoi(argv[3]);
  lxw_workbook* workbook = workbook_new(argv[1]);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, NULL);
  lxw_format* format = workbook_add_format(workbook);
  format_set_border(format, LXW_BORDER_THIN);
  char text[32];
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      snprintf(text, sizeof text, "r%dc%d", r, c);
      worksheet_write_string(sheet, (lxw_row_t)r, (lxw_col_t)c, text, format);
    }
  }
  return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
}
