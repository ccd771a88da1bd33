#include "reconcile/compare_prod_list.h"

#include <algorithm>
#include <vector>

#include "common/pending_events.h"
#include "common/runtime_error.h"
#include "db/command.h"
#include "db/db_connect.h"
#include "db/recordset.h"
#include "log/procedure.h"

namespace kolbi {
namespace {

using LinkChange = void (*)(std::int32_t ProductID, std::int32_t PosteID);

std::vector<std::int64_t> ValuesOf(const ListBox& list) {
    std::vector<std::int64_t> values;
    values.reserve(list.Items().size());
    for (const std::string& item : list.Items()) values.push_back(ItemValue(item));
    return values;
}

// Both lists are ascending: the scan stops at the first larger value.
bool FoundInAscending(std::int64_t value, const std::vector<std::int64_t>& ascending) {
    for (std::int64_t other : ascending) {
        if (other == value) return true;
        if (value < other) return false;
    }
    return false;
}

// Every item of `from` that `in` lacks is listed in `changed` and its link
// changed by `change`. A failed link change still counts: the product keeps
// its place in `changed` and gets its alert.
void CollectChanges(Procedure& proc, const ListBox& from, const ListBox& in, ListBox& changed,
                    LinkChange change, std::int32_t PosteID) {
    std::vector<std::int64_t> values;
    std::vector<std::int64_t> others;
    proc.Run([&] {
        values = ValuesOf(from);
        others = ValuesOf(in);
    });
    for (std::int64_t value : values) {
        bool found = false;
        proc.Run([&] { found = FoundInAscending(value, others); });
        if (!found) {
            proc.Run([&] { changed.AddItem(std::to_string(value)); });
            proc.Run([&] { change(CheckedInt32(value, "SOFTPRODUCT_ID"), PosteID); });
        }
        proc.Run([&] { LetPendingEventsRun(); });
    }
}

// The alerts of one comparison, written together at its end: a statement
// per 250 alerts instead of one per change. On SQLite the driver compiles every write anew,
// with the table's checks, and on PostgreSQL each is an exchange with the
// server. Should the database refuse them together, each is written on its
// own (AddChangeAlert), so a refused one fails as it would have alone, with
// its own statement in the log, and the others are written.
class HeldAlerts {
public:
    void Add(const std::string& PosteNom, std::string data, std::int32_t type,
             std::int32_t critique) {
        alerts_.push_back({PosteNom, std::move(data), type, critique});
    }

    void Save(Procedure& proc) {
        for (std::size_t first = 0; first < alerts_.size(); first += kAlertsPerStatement) {
            const std::size_t end = std::min(alerts_.size(), first + kAlertsPerStatement);
            bool together = false;
            if (end - first > 1) proc.Run([&] { together = InsertTogether(first, end); });
            for (std::size_t i = first; i < end && !together; ++i) {
                const Alert& alert = alerts_[i];
                proc.Run([&] {
                    AddChangeAlert(alert.poste, "", alert.data, alert.type, alert.critique);
                });
            }
        }
    }

private:
    struct Alert {
        std::string poste;
        std::string data;
        std::int32_t type;
        std::int32_t critique;
    };

    // Four parameters each: SQL Server takes at most 2,100 in a statement.
    static constexpr std::size_t kAlertsPerStatement = 250;

    // True when the alerts [first, end) were written; a refusal leaves the
    // database as it was (see Connection::BeginTransaction).
    bool InsertTogether(std::size_t first, std::size_t end) {
        if (!DBConnected()) DBConnect();
        SqlText insert("INSERT INTO Changement ");
        insert.Add("(Changement_Poste,Changement_User,Changement_Date,Changement_Type,"
                   "Changement_Critique,Changement_Data,Changement_ACK)")
            .Add("VALUES ");
        for (std::size_t i = first; i < end; ++i) {
            const Alert& alert = alerts_[i];
            if (i > first) insert.Add(", ");
            insert.Add("(")
                .QuotedUtf8(alert.poste)
                .Add(",'',Getdate(),")
                .QuotedNumber(alert.type)
                .Add(",")
                .QuotedNumber(alert.critique)
                .Add(",")
                .QuotedUtf8(alert.data)
                .Add(",'0')");
        }
        try {
            // Its shape changes with the number of alerts: not worth keeping prepared.
            DBConnection().ExecuteDirect(insert);
            return true;
        } catch (const RuntimeError&) {
            return false;
        }
    }

    std::vector<Alert> alerts_;
};

// One alert per changed product that the catalogue knows, unless it is
// ignored or this is the workstation's first inventory.
void RaiseAlerts(Procedure& proc, const ListBox& changed, bool added, const std::string& PosteNom,
                 HeldAlerts& alerts) {
    Recordset product;
    for (const std::string& item : changed.Items()) {
        proc.Run([&] {
            SqlText select =
                added ? SqlText("SELECT SOFTPRODUCT_PRODUCT,SOFTPRODUCT_IGNORE From SoftProduct ")
                      : SqlText("SELECT SOFTPRODUCT_PRODUCT,SOFTPRODUCT_IGNORE  From SoftProduct ");
            product.Open(select.Add("WHERE SOFTPRODUCT_ID = ").QuotedNumber(ItemValue(item)));
        });
        // A record set that did not open fails this test: with logging off the
        // product is then passed over.
        bool at_end = true;
        proc.Run([&] { at_end = product.Eof(); });
        if (!at_end) {
            bool wanted = false;
            proc.Run([&] {
                wanted = ChangeAlertWanted(product.Fields("SOFTPRODUCT_PRODUCT").value(),
                                           product.Fields("SOFTPRODUCT_IGNORE").value());
            });
            if (wanted && !IsFirstInventory()) {
                proc.Run([&] {
                    const Field name = product.Fields("SOFTPRODUCT_PRODUCT");
                    // A Null name leaves the code alone.
                    const std::string data = std::string(added ? "|967|" : "|968|") +
                                             (name.IsNull() ? std::string() : name.AsUtf8());
                    alerts.Add(PosteNom, data, 2, added ? 2 : 3);
                });
            }
        }
        proc.Run([&] { product.Close(); });
        proc.Run([&] { LetPendingEventsRun(); });
    }
}

}  // namespace

bool ChangeAlertWanted(const Value& product, const Value& ignore) {
    // (P <> "" And I Is Null) Or I = 0, where a comparison with Null is Null
    // and a Null outcome counts as no: a flag decides alone, and without a
    // flag only a non-empty name raises the alert.
    if (!ignore.IsNull()) return ignore.AsInteger() == 0;
    return !product.IsNull() && !product.AsUtf8().empty();
}

void CompareProdList(ProductLists& lists, const std::string& PosteNom, std::int32_t PosteID) {
    Procedure proc("in procedure CompareProdList of Module ModDivers", AfterReport::kContinue);
    proc.Run([&] { lists.lstProdPLUS.Clear(); });
    proc.Run([&] { lists.lstProdMOINS.Clear(); });
    CollectChanges(proc, lists.lstLogProd, lists.lstDBProd, lists.lstProdPLUS, ADD_PosteProduct,
                   PosteID);
    CollectChanges(proc, lists.lstDBProd, lists.lstLogProd, lists.lstProdMOINS, DEL_PosteProduct,
                   PosteID);
    HeldAlerts alerts;
    RaiseAlerts(proc, lists.lstProdPLUS, true, PosteNom, alerts);
    RaiseAlerts(proc, lists.lstProdMOINS, false, PosteNom, alerts);
    alerts.Save(proc);
    proc.Run([&] { lists.lstLogProd.Clear(); });
    proc.Run([&] { lists.lstDBProd.Clear(); });
    proc.Run([&] { lists.lstProdPLUS.Clear(); });
    proc.Run([&] { lists.lstProdMOINS.Clear(); });
    proc.Run([&] { LetPendingEventsRun(); });
}

void ADD_PosteProduct(std::int32_t ProductID, std::int32_t PosteID) {
    Procedure proc("in procedure ADD_PosteProduct of Module ModSI", AfterReport::kContinue);
    proc.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    // No check that the link exists already: the lists say it does not.
    proc.Run([&] {
        Command().Execute(
            SqlText("INSERT INTO PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID) ")
                .Add("VALUES (")
                .QuotedNumber(PosteID)
                .Add(", ")
                .QuotedNumber(ProductID)
                .Add("  )"));
    });
}

void DEL_PosteProduct(std::int32_t ProductID, std::int32_t PosteID) {
    Procedure proc("in procedure DEL_PosteProduct of Module ModSI", AfterReport::kContinue);
    Recordset links;
    proc.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    proc.Run([&] {
        links.Open(SqlText("SELECT DISTINCT * From PosteSoftware ")
                       .Add("WHERE PosteSoft_PosteID = ")
                       .QuotedNumber(PosteID)
                       .Add(" AND PosteSoft_ProductID = ")
                       .QuotedNumber(ProductID)
                       .Add(";"));
    });
    proc.Run([&] { LetPendingEventsRun(); });
    // Rows that read the same are one row of the DISTINCT selection; deleting
    // it by its values removes every copy of the link.
    for (;;) {
        // A record set that did not open fails this test, which ends the
        // deleting (with logging off nothing else would).
        bool at_end = true;
        proc.Run([&] { at_end = links.Eof(); });
        if (at_end) break;
        proc.Run([&] { links.Delete(); });
        proc.Run([&] { links.Update(); });
        if (!proc.Run([&] { links.MoveNext(); })) break;
    }
    proc.Run([&] { links.Close(); });
    proc.Run([&] { LetPendingEventsRun(); });
}

void AddChangeAlert(const std::string& PosteNom, const std::string& /*user*/,
                    const std::string& data, std::int32_t type, std::int32_t critique) {
    if (!DBConnected()) DBConnect();
    Command().Execute(SqlText("INSERT INTO Changement ")
                          .Add("(Changement_Poste,Changement_User,Changement_Date,Changement_Type,"
                               "Changement_Critique,Changement_Data,Changement_ACK)")
                          .Add("VALUES (")
                          .QuotedUtf8(PosteNom)
                          .Add(",'',Getdate(),")
                          .QuotedNumber(type)
                          .Add(",")
                          .QuotedNumber(critique)
                          .Add(",")
                          .QuotedUtf8(data)
                          .Add(",'0')"));
}

}  // namespace kolbi
