#include "maintenance/smart_watch.h"

#include <algorithm>
#include <optional>

#include "maintenance/smart_table.h"

namespace raid {
namespace {

const SmartRow* RowOf(const SmartTable& table, std::uint8_t id) {
    const auto row = std::find_if(table.rows.begin(), table.rows.end(),
                                  [id](const SmartRow& r) { return r.id == id; });
    return row == table.rows.end() ? nullptr : &*row;
}

std::string RowText(const SmartRow& row) {
    return SmartNameText(row.id) + " value " + std::to_string(row.value) + ", worst " +
           std::to_string(row.worst) + ", threshold " + std::to_string(row.threshold) + ", raw " +
           std::to_string(row.raw) + " (" + SmartStatusText(row.code) + ")";
}

// The attributes behind a word that is not Good, the most severe first.
std::vector<const SmartRow*> Flagged(const SmartTable& table) {
    std::vector<const SmartRow*> rows;
    for (const SmartRow& row : table.rows) {
        if (row.code != kHealthGood) {
            rows.push_back(&row);
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const SmartRow* a, const SmartRow* b) { return a->code > b->code; });
    return rows;
}

class DriveWatch {
  public:
    DriveWatch(DriveAlert& alert, std::string prefix, std::int64_t now, const std::string& dt)
        : alert_(alert), prefix_(std::move(prefix)), now_(now), dt_(dt) {}

    // True when the drive is to be notified about.
    bool Look(const SmartTable& table, SmartWord word) {
        const bool first = !alert_.watched;
        const SmartWord previous = alert_.word;
        alert_.watched = true;
        alert_.word = word;
        bool tell = false;
        if (word == SmartWord::Unknown) {
            if (first || previous != SmartWord::Unknown) {
                Line(prefix_ + "unknown: thresholds could not be read");
            }
        } else if (word > alert_.lastKnown) {
            const std::vector<const SmartRow*> rows = Flagged(table);
            std::string head = prefix_ + SmartWordText(word) + ": ";
            head += rows.empty() ? std::string("was ") + SmartWordText(alert_.lastKnown)
                                 : RowText(*rows.front());
            Line(head);
            for (std::size_t i = 1; i < rows.size(); ++i) {
                Detail("  " + RowText(*rows[i]));
            }
            tell = true;
        } else if (word < alert_.lastKnown) {
            Line(prefix_ + SmartWordText(word) + ": was " + SmartWordText(alert_.lastKnown));
        }
        if (word != SmartWord::Unknown) {
            alert_.lastKnown = word;
        }

        bool grew = false;
        for (std::size_t k = 0; k < kWatchedAttributes.size(); ++k) {
            const SmartRow* row = RowOf(table, kWatchedAttributes[k]);
            const std::optional<std::uint64_t> count =
                row != nullptr ? std::optional<std::uint64_t>(row->raw) : std::nullopt;
            const std::optional<std::uint64_t> before = alert_.counts[k];
            alert_.counts[k] = count;
            if (!before || !count || *before == *count) {
                continue;
            }
            Line(prefix_ + SmartWordText(word) + ": " + SmartNameText(row->id) + " " +
                 std::to_string(*before) + " --> " + std::to_string(*count));
            grew = grew || *count > *before;
        }
        if (grew && (alert_.lastCountAlertAt == 0 ||
                     now_ - alert_.lastCountAlertAt >= kCountAlertPauseSeconds)) {
            alert_.lastCountAlertAt = now_;
            tell = true;
        }
        if (tell) {
            alert_.report = report_;
        }
        return tell;
    }

    std::vector<std::string> TakeLines() { return std::move(lines_); }

  private:
    void Line(const std::string& text) {
        lines_.push_back(text + ", " + dt_);
        report_.push_back(text);
    }
    void Detail(const std::string& text) {
        lines_.push_back(text);
        report_.push_back(text);
    }

    DriveAlert& alert_;
    std::string prefix_;
    std::int64_t now_;
    const std::string& dt_;
    std::vector<std::string> lines_;
    std::vector<std::string> report_;
};

}  // namespace

SmartWord DriveSmartWord(const SmartStore& store, const DriveAlert& alert, std::size_t slot,
                         std::size_t drive) {
    if (slot >= kSmartDevices || drive >= kSmartDrives) {
        return SmartWord::Unknown;
    }
    const SmartTable table = BuildSmartTable(store.data[slot][drive], store.thresholds[slot][drive],
                                             store.sectorWord[slot][drive]);
    if (table.rows.empty() || !alert.thresholdsRead) {
        return SmartWord::Unknown;
    }
    if ((table.overall & kHealthError) != 0) {
        return SmartWord::Error;
    }
    return table.overall < 2 ? SmartWord::Good : SmartWord::Warning;
}

SmartFindings WatchSmartPass(AlertState& alerts, const SmartStore& store,
                             const DeviceState& devices, std::uint8_t feature,
                             const SmartPassReport& report, std::int64_t now,
                             const std::string& dt) {
    SmartFindings found;
    const std::size_t count =
        std::min<std::size_t>({devices.table.count, kSmartDevices, alerts.slots.size()});
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = 0; j < kSmartDrives; ++j) {
            DriveAlert& alert = alerts.slots[i].drives[j];
            const SmartDriveOutcome outcome = report.drives[i][j];
            if (outcome == SmartDriveOutcome::NotRead) {
                continue;
            }
            if (outcome == SmartDriveOutcome::Absent) {
                // A drive put in later is a new drive with a base of its own.
                alert = DriveAlert{};
                continue;
            }
            if (feature == kSmartReadThresholds) {
                alert.thresholdsRead = outcome == SmartDriveOutcome::Read;
                continue;
            }
            const SmartTable table =
                BuildSmartTable(store.data[i][j], store.thresholds[i][j], store.sectorWord[i][j]);
            if (table.rows.empty()) {
                continue;  // no data read yet
            }
            const std::string prefix =
                "D" + std::to_string(i + 1) + " HDD" + std::to_string(j + 1) + " SMART ";
            DriveWatch watch(alert, prefix, now, dt);
            if (watch.Look(table, DriveSmartWord(store, alert, i, j))) {
                found.drives.emplace_back(static_cast<std::uint8_t>(i),
                                          static_cast<std::uint8_t>(j));
            }
            const std::vector<std::string> lines = watch.TakeLines();
            found.lines.insert(found.lines.end(), lines.begin(), lines.end());
        }
    }
    if (!found.lines.empty()) {
        alerts.lastEventAt = now;
    }
    return found;
}

}  // namespace raid
