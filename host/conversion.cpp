#include "host/conversion.h"

#include "capture/entity_reader.h"
#include "capture/shx_map.h"
#include "database/database_export.h"
#include "excel/worksheet_writer.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"
#include "recognition/table_recogniser.h"
#include "recognition/table_split.h"
#include "ui/settings.h"

namespace {

TableWriter& Writer(int target) {
  static TableWriter spreadsheet = ExportTableToExcel;
  static TableWriter database = [](CSheetform& t) {
    ExportTableToDatabase(t);
    return 0;
  };
  static TableWriter none;
  if (target == kTargetSpreadsheet) return spreadsheet;
  if (target == kTargetDatabase) return database;
  return none;
}

TablesWriter& TextWriter() {
  static TablesWriter writer;
  return writer;
}

// Removes lines shorter than the factor of the smallest text height, walking
// from the back so indices still to visit stay valid.
template <typename LineArray>
void RemoveShortLines(LineArray& lines, double minHeight) {
  std::vector<bool> remove(static_cast<size_t>(lines.GetSize()), false);
  bool any = false;
  for (int i = lines.GetUpperBound(); i >= 0; --i) {
    const CSimpleLine& l = lines[i];
    sds_point a = {l.x1, l.y1, 0}, b = {l.x2, l.y2, 0};
    if (MiniLineFactor * minHeight > sds_distance(a, b)) {
      remove[static_cast<size_t>(i)] = true;
      any = true;
    }
  }
  if (any) lines.RemoveFlagged(remove);
}

}  // namespace

void RemoveMiniLines(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                     const CArxDbMTextArray& texts) {
  if (texts.IsEmpty()) return;
  double h = texts[0].height;
  for (const ArxDbMText& t : texts) h = std::min(h, t.height);
  RemoveShortLines(horizontal, h);
  RemoveShortLines(vertical, h);
}

TablesWriter SetTextWriter(TablesWriter writer) {
  TablesWriter previous = std::move(TextWriter());
  TextWriter() = std::move(writer);
  return previous;
}

TableWriter SetTableWriter(int target, TableWriter writer) {
  TableWriter& slot = Writer(target);
  TableWriter previous = std::move(slot);
  slot = std::move(writer);
  return previous;
}

void ConvertSelection(int target) {
  sds_resbuf* filter = sds_buildlist(-4, L"<or",                                       //
                                     -4, L"<and", RTDXF0, L"LINE", -4, L"and>",        //
                                     -4, L"<and", RTDXF0, L"LWPOLYLINE", -4, L"and>",  //
                                     -4, L"<and", RTDXF0, L"POLYLINE", -4, L"and>",    //
                                     -4, L"<and", RTDXF0, L"TEXT", -4, L"and>",        //
                                     -4, L"<and", RTDXF0, L"MTEXT", -4, L"and>",       //
                                     -4, L"<and", RTDXF0, L"INSERT", -4, L"and>",      //
                                     -4, L"<and", RTDXF0, L"ACAD_TABLE", -4, L"and>",  //
                                     -4, L"or>", 0);
  sds_name set;
  int rc = sds_ssget(nullptr, nullptr, nullptr, filter, set);
  sds_relrb(filter);
  if (rc == RTCAN) return;
  if (rc != RTNORM) {
    // Nothing convertible was picked: the recogniser says what it needs,
    // and no writer is started for nothing.
    CHorzDbLineArray horizontal;
    CVertDbLineArray vertical;
    CArxDbMTextArray texts;
    CSheetform table;
    RecogniseTable(horizontal, vertical, texts, table);
    return;
  }
  RunConversion(set, target);
}

void ConvertBlockReference(int target) {
  sds_name entity;
  sds_point pick;
  if (sds_entsel(L"\nSelect a block reference: ", entity, pick) != RTNORM) return;
  sds_resbuf* list = sds_entget(entity);
  bool insert = false;
  for (sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
    if (rb->restype == 0) {
      insert = rb->resval.rstring != nullptr && win::EqualsNoCase(rb->resval.rstring, L"INSERT");
      break;
    }
  }
  sds_relrb(list);
  if (!insert) {
    sds_printf(L"\nPlease select a block reference.");
    return;
  }
  sds_name set;
  if (sds_ssadd(entity, nullptr, set) != RTNORM) return;
  RunConversion(set, target);
}

void RunConversion(sds_name set, int target) {
  long n = 0;
  if (sds_sslength(set, &n) != RTNORM || n <= 0) {
    sds_ssfree(set);
    return;
  }
  LoadConversionSettings();
  CShxMap shxMap;
  shxMap.LoadShxMap();
  CHorzDbLineArray horizontal;
  CVertDbLineArray vertical;
  CArxDbMTextArray texts;
  {
    CEntityReader reader(horizontal, vertical, texts, shxMap);
    reader.Reserve(n);
    for (long i = 0; i < n; ++i) {
      sds_name name;
      if (sds_ssname(set, i, name) != RTNORM) continue;
      sds_resbuf* list = sds_entget(name);
      reader.Read(list);
      sds_relrb(list);
    }
  }
  sds_ssfree(set);

  sds_progressstart();
  if (ReadSettingInt(kSettingsSection, L"RemoveMiniLine", 1) != 0) {
    RemoveMiniLines(horizontal, vertical, texts);
  }
  sds_progresspercent(1);
  std::vector<CSheetform> tables =
      RecogniseTables(horizontal, vertical, texts, ConversionSettings.SplitTables != 0);
  sds_progresspercent(7);
  sds_progressstop();
  // What recognition read now lives in the tables; its room goes before writing.
  horizontal = CHorzDbLineArray();
  vertical = CVertDbLineArray();
  texts = CArxDbMTextArray();

  if (target == kTargetText) {
    if (TablesWriter& writer = TextWriter()) writer(tables);
    return;
  }
  const bool split = ConversionSettings.SplitTables != 0;
  for (std::size_t k = 0; k < tables.size(); ++k) {
    const int number = static_cast<int>(k + 1);
    if (k > 0) BeforeNextTable(target, number);
    if (TableWriter& writer = Writer(target)) writer(tables[k]);
    if (split) AfterTable(target, number, tables[k]);
    // Its cells are in the sheet or the database now; the next table's grow there.
    tables[k] = CSheetform();
  }
}
