#include "KEditorData.h"

namespace {

// Where the report says it comes from, as the editor has always named it.
constexpr const char* kReportSource = "Vantor";
constexpr int kReportLine = 70;

}  // namespace

KDatafilePtr KLoadEditorDatafile(Kinterface& engine)
{
    KDatafilePtr data(load_datafile("Library/default.dat"));
    if (!data) engine.Report("Unable to load default.dat", kReportSource, kReportLine);
    return data;
}
