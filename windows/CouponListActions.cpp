#include "windows/CouponListActions.h"

#include "coupons/CouponCsv.h"
#include "coupons/CouponList.h"
#include "platform/FileSystem.h"
#include "windows/CouponListView.h"
#include "windows/FExpiryDate.h"
#include "windows/FImportReport.h"
#include "windows/RunAside.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>

#include <sstream>
#include <unordered_map>

namespace quillory {

namespace {

// The most coupons an outcome message names one by one.
constexpr std::size_t kNamedAtMost = 20;
// A progress dialog shows once an action takes longer than this.
constexpr int kProgressDelayMs = 400;

// A value on one line for a message (codes and reasons from outside may
// hold control characters).
std::string Shown(const std::string& text) {
    return OneLineReason(text, 120);
}

// A cancellable progress dialog over a service call.
class TProgress {
public:
    TProgress(const QString& title, const QString& label) {
        FDialog.setWindowTitle(title);
        FDialog.setLabelText(label);
        FDialog.setCancelButtonText(QStringLiteral("Cancel"));
        FDialog.setWindowModality(Qt::ApplicationModal);
        FDialog.setMinimumDuration(kProgressDelayMs);
        FDialog.setAutoReset(false);
        FDialog.setAutoClose(false);
    }
    ~TProgress() { FDialog.close(); }
    TBulkProgress Callback() {
        return [this](std::size_t done, std::size_t total) {
            FDialog.setMaximum(static_cast<int>(total));
            FDialog.setValue(static_cast<int>(done));
            QApplication::processEvents();
            return !FDialog.wasCanceled();
        };
    }

private:
    QProgressDialog FDialog;
};

TRunAside Aside() {
    return [](const std::function<void()>& work) { RunAside(work); };
}

std::string FileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

std::string CouponCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " coupon" : " coupons");
}

TCouponListActions::TCouponListActions(TCouponService& service, TCommandDispatcher& dispatcher,
                                       TSkinMessage& messages, TCouponListView& list,
                                       std::function<bool()> reload)
    : FService(service), FDispatcher(dispatcher), msgMain(messages), FList(list),
      FReload(std::move(reload)), FFolder(QDir::homePath()) {}

TCouponListActions::TTicked TCouponListActions::Ticked(const char* caption) {
    TTicked ticked;
    const TCouponListModel* model = FList.CouponModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (!model->Checked(row))
            continue;
        ticked.Ids.push_back(model->IdAt(row));
        ticked.Codes.emplace_back(model->List().Code(model->ListRow(row)));
    }
    if (ticked.Ids.empty())
        msgMain.ShowMessageDialog(std::string("No coupon is ticked. Tick the coupons first, then "
                                              "choose \"") +
                                      caption + "\" again.",
                                  dkInformation, {dbOK});
    return ticked;
}

bool TCouponListActions::Confirm(const std::string& question) {
    return msgMain.ShowMessageDialog(question, dkWarning, {dbOK, dbCancel}) == mrOk;
}

void TCouponListActions::TellOutcome(const std::string& done, const TTicked& ticked,
                                     const TCouponsOutcome& out,
                                     const std::vector<std::string>& extra) {
    std::ostringstream text;
    text << done;
    if (const std::size_t same = out.Count(TChangeState::Unchanged); same > 0)
        text << " " << CouponCount(same)
             << (same == 1 ? " already was so and was left alone."
                           : " already were so and were left alone.");
    std::size_t named = 0;
    auto name = [&](const std::string& line) {
        if (++named <= kNamedAtMost)
            text << "\n" << line;
        else if (named == kNamedAtMost + 1)
            text << "\n...";
    };
    for (std::size_t i = 0; i < out.Results.size(); ++i) {
        const TChangeResult& r = out.Results[i];
        const std::string code = Shown(ticked.Codes[i]);
        switch (r.State) {
        case TChangeState::Gone:
            name(code + ": no longer on the server (deleted elsewhere)");
            break;
        case TChangeState::Refused:
        case TChangeState::Failed:
            name(code + ": " + Shown(r.Reason));
            break;
        default:
            break;
        }
    }
    for (const auto& line : extra)
        name(line);
    if (const std::size_t notSent = out.Count(TChangeState::NotSent); notSent > 0)
        text << "\n"
             << CouponCount(notSent) << " left out: "
             << (out.Cancelled ? "stopped by you." : "the service failed before them.");
    const bool clean =
        out.Count(TChangeState::Done) + out.Count(TChangeState::Unchanged) == out.Results.size();
    msgMain.ShowMessageDialog(text.str(), clean ? dkInformation : dkWarning, {dbOK});
}

void TCouponListActions::Change(const TCouponChange& change, const char* caption,
                                const std::string& question, const std::string& working,
                                const std::string& done) {
    const TTicked ticked = Ticked(caption);
    if (ticked.Ids.empty() || !Confirm(question))
        return;
    TCouponsOutcome out;
    {
        TProgress progress(QString::fromUtf8(caption), QString::fromLocal8Bit(working));
        TCommandDispatcher::TRequest request(FDispatcher);
        out = ChangeCoupons(FService, ticked.Ids, change, progress.Callback(), Aside());
        FReload(); // the changed values, and what was changed elsewhere meanwhile
    }
    TellOutcome(std::to_string(out.Count(TChangeState::Done)) + " of " +
                    CouponCount(ticked.Ids.size()) + " " + done,
                ticked, out);
}

void TCouponListActions::MarkExpired() {
    const std::size_t n = FList.CouponModel()->CheckedIds().size();
    TCouponChange change;
    change.Kind = TCouponChange::MarkExpired;
    Change(change, "Mark expired", "Mark " + CouponCount(n) + " expired?",
           "Marking coupons expired...", "marked expired.");
}

void TCouponListActions::ClearExpired() {
    const std::size_t n = FList.CouponModel()->CheckedIds().size();
    TCouponChange change;
    change.Kind = TCouponChange::ClearExpired;
    Change(change, "Clear expired", "Clear the expired mark of " + CouponCount(n) + "?",
           "Clearing the expired mark...", "no longer marked expired.");
}

void TCouponListActions::SetExpiryDate() {
    const std::size_t n = FList.CouponModel()->CheckedIds().size();
    if (n == 0) {
        Ticked("Set expiry date\u2026"); // says so
        return;
    }
    TfrmExpiryDate dialog(n);
    if (dialog.exec() != QDialog::Accepted)
        return;
    TCouponChange change;
    change.Kind = TCouponChange::SetExpiryDate;
    change.Date = dialog.Date();
    const std::string date = dialog.DateText();
    Change(change, "Set expiry date\u2026", "Make " + CouponCount(n) + " expire on " + date + "?",
           "Setting the expiry date...",
           (n == 1 ? "now expires on " : "now expire on ") + date + ".");
}

void TCouponListActions::DuplicateCoupons() {
    const TTicked ticked = Ticked("Duplicate");
    if (ticked.Ids.empty() ||
        !Confirm("Duplicate " + CouponCount(ticked.Ids.size()) + "? Each copy gets a new code."))
        return;
    TCouponsOutcome out;
    {
        TProgress progress(QStringLiteral("Duplicate"), QStringLiteral("Adding copies..."));
        TCommandDispatcher::TRequest request(FDispatcher);
        out = quillory::DuplicateCoupons(FService, ticked.Ids, progress.Callback(), Aside());
        FReload();
    }
    std::vector<std::string> copies;
    for (std::size_t i = 0; i < out.Results.size(); ++i)
        if (out.Results[i].State == TChangeState::Done)
            copies.push_back(Shown(ticked.Codes[i]) + ": copy " + Shown(out.Coupons[i].Code));
    TellOutcome(std::to_string(out.Count(TChangeState::Done)) + " of " +
                    CouponCount(ticked.Ids.size()) + " duplicated.",
                ticked, out, copies);
}

void TCouponListActions::ExportCoupons() {
    const TTicked ticked = Ticked("Export coupons\u2026");
    if (ticked.Ids.empty() ||
        !Confirm("Export " + CouponCount(ticked.Ids.size()) + " to a CSV file?"))
        return;
    QFileDialog dialog(nullptr, QStringLiteral("Export coupons"),
                       QDir(FFolder).filePath(QStringLiteral("coupons.csv")),
                       QStringLiteral("CSV files (*.csv);;All files (*)"));
    dialog.setObjectName(QStringLiteral("dlgExportCoupons"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    FFolder = QFileInfo(path).absolutePath();
    // With the details: each coupon's use count goes into the file, so a
    // restored backup keeps used one-time coupons used.
    TCouponsOutcome out;
    {
        TCommandDispatcher::TRequest request(FDispatcher);
        out = FetchCouponsById(FService, ticked.Ids, true, {}, Aside());
    }
    if (out.Count(TChangeState::Failed) > 0) {
        msgMain.ShowMessageDialog("The coupons could not be exported: " +
                                      Shown(out.Results.front().Reason),
                                  dkWarning, {dbOK});
        return;
    }
    std::vector<TCoupon> coupons;
    std::size_t withoutUses = 0;
    for (std::size_t i = 0; i < out.Results.size(); ++i) {
        if (out.Results[i].State != TChangeState::Done)
            continue;
        coupons.push_back(out.Coupons[i]);
        if (!coupons.back().Uses)
            ++withoutUses;
    }
    try {
        WriteWholeFile(FileName(path), FormatCouponCsv(coupons));
    } catch (const std::exception& e) {
        msgMain.ShowMessageDialog(e.what(), dkWarning, {dbOK});
        return;
    }
    std::vector<std::string> notes;
    if (withoutUses > 0)
        notes.push_back("The service sent no use count for " + CouponCount(withoutUses) +
                        "; restoring this file makes them unused.");
    // Nothing changed on the server: the list and its ticks stay.
    TellOutcome("Exported " + CouponCount(coupons.size()) + " to " + FileName(path) + ".", ticked,
                out, notes);
}

namespace {

// One line of the import report for a row the service answered.
std::string AnsweredLine(const std::string& where, const std::string& label,
                         const TBulkRowResult& result) {
    switch (result.State) {
    case TBulkRowState::Added:
        return where + ": added" + label;
    case TBulkRowState::CodeExists:
        return where + ": refused" + label + ": the code is already in use.";
    case TBulkRowState::Refused:
        return where + ": refused" + label + ": the server replied \"" + Shown(result.Reason) +
               "\".";
    case TBulkRowState::Failed:
        return where + ": not added" + label + ": " + Shown(result.Reason);
    case TBulkRowState::NotSent:
        break;
    }
    return where + ": not sent" + label + ".";
}

} // namespace

void TCouponListActions::ImportCoupons() {
    QFileDialog dialog(nullptr, QStringLiteral("Import coupons"), FFolder,
                       QStringLiteral("CSV files (*.csv);;All files (*)"));
    dialog.setObjectName(QStringLiteral("dlgImportCoupons"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    FFolder = QFileInfo(path).absolutePath();
    const std::string name = FileName(QFileInfo(path).fileName());
    std::vector<TCouponCsvRow> rows;
    try {
        // A file may be large: read and checked off the GUI thread, no
        // command starting meanwhile.
        TCommandDispatcher::TRequest reading(FDispatcher);
        RunAside([&] { rows = ReadCouponCsv(ReadCouponCsvFile(FileName(path)), name); });
    } catch (const std::exception& e) {
        msgMain.ShowMessageDialog(e.what(), dkWarning, {dbOK});
        return;
    }
    std::vector<TCoupon> coupons;
    std::vector<std::size_t> sent(rows.size(), 0); // coupons[sent[r]] is row r's
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!rows[r].Problem.empty())
            continue;
        sent[r] = coupons.size();
        coupons.push_back(rows[r].Coupon);
    }
    const std::size_t refusedBefore = rows.size() - coupons.size();
    std::vector<TBulkRowResult> results;
    bool cancelled = false;
    if (!coupons.empty()) {
        std::string question = "Add " + CouponCount(coupons.size()) + " from " + name + "?";
        if (refusedBefore > 0)
            question += "\n\r" + std::to_string(refusedBefore) +
                        (refusedBefore == 1 ? " row" : " rows") +
                        " of the file cannot be added; the report at the end names " +
                        (refusedBefore == 1 ? "it." : "them.");
        if (!Confirm(question))
            return;
        TProgress progress(QStringLiteral("Import coupons"), QStringLiteral("Adding coupons..."));
        const TBulkProgress ask = progress.Callback();
        TCommandDispatcher::TRequest request(FDispatcher);
        results = FService.AddCoupons(coupons, [&](std::size_t done, std::size_t total) {
            cancelled = !ask(done, total);
            return !cancelled;
        });
        FReload();
    }

    // The added coupons that bring a use count: a service that does not
    // keep it would make used coupons usable again, so the reloaded list is
    // asked what it holds.
    std::unordered_map<std::string, long long> keptUses;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (rows[r].Problem.empty() && results[sent[r]].State == TBulkRowState::Added &&
            rows[r].Coupon.Uses.value_or(0) != 0)
            keptUses.emplace(rows[r].Coupon.Code, -1);
    if (!keptUses.empty()) {
        const TCouponList& list = FList.CouponModel()->List();
        for (std::size_t row = 0; row < list.Count(); ++row)
            if (auto it = keptUses.find(std::string(list.Code(row))); it != keptUses.end())
                it->second = list.Uses(row);
    }

    std::size_t added = 0, refused = 0, notAdded = 0, lost = 0;
    std::string lines;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const TCouponCsvRow& row = rows[r];
        const std::string where = "line " + std::to_string(row.Line);
        const std::string label = row.Code.empty() ? std::string() : " " + Shown(row.Code);
        if (!row.Problem.empty()) {
            lines += where + ": refused" + label + ": " + Shown(row.Problem) + "\n";
            ++refused;
            continue;
        }
        const TBulkRowResult& result = results[sent[r]];
        lines += AnsweredLine(where, label, result) + "\n";
        if (result.State == TBulkRowState::Added) {
            ++added;
            const long long uses = row.Coupon.Uses.value_or(0);
            if (uses != 0 && keptUses[row.Coupon.Code] != uses) {
                const long long now = keptUses[row.Coupon.Code];
                lines += where + ": the service did not keep the use count of" + label + " (" +
                         std::to_string(uses) + ", now " +
                         (now < 0 ? std::string("unknown") : std::to_string(now)) + ").\n";
                ++lost;
            }
        } else if (result.State == TBulkRowState::CodeExists ||
                   result.State == TBulkRowState::Refused) {
            ++refused;
        } else {
            ++notAdded;
        }
    }
    std::string summary = std::to_string(added) + " added, " + std::to_string(refused) +
                          " refused, from " + name + ".";
    if (notAdded > 0) {
        // The reason the service failed, as it was when it failed (the
        // reload since may have failed otherwise, or not at all).
        std::string why;
        for (const auto& result : results)
            if (why.empty() && result.State == TBulkRowState::Failed)
                why = Shown(result.Reason);
        summary += " " + CouponCount(notAdded) + " not added: " +
                   (cancelled ? std::string("stopped by you.")
                              : "the service failed" + (why.empty() ? "" : " (" + why + ")") + ".");
    }
    if (lost > 0)
        summary += " " + std::to_string(lost) +
                   " use count(s) were not restored: used coupons may be usable again. The "
                   "service may be older than this program.";
    TfrmImportReport report(summary, lines);
    report.exec();
}

} // namespace quillory
