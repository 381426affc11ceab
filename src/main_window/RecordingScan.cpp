#include "main_window/RecordingScan.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <utility>
#include <vector>

#include "main_window/RecordingLine.h"
#include "platform/file_views/DriveList.h"
#include "platform/file_views/FolderList.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FolderPath.h"
#include "platform/widgets/MessageBox.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// The gathered names by folded letter case. Partner tests look here instead of reading the
// folder once per name; a hit is confirmed on disk, so a partner deleted since the gather is
// not reported. The list describes the folder as it was gathered: a file created later shows
// up on the next scan.
class GatheredNames {
public:
    void add(const QString& name) { byFolded_[name.toCaseFolded()].append(name); }

    bool exists(IFileSystem& fs, const QString& prefix, const QString& name) const {
        const auto found = byFolded_.constFind(name.toCaseFolded());
        if (found == byFolded_.constEnd()) return false;
        for (const QString& onDisk : *found) {
            if (fs.isOrdinaryFile(prefix + onDisk)) return true;
        }
        return false;
    }

private:
    QHash<QString, QStringList> byFolded_;
};

// Name order as people read names: letter case folded and the digits in a name compared as
// numbers, so that cam_9 comes before cam_10. Names equal in that order keep a fixed order.
void sortByName(std::vector<QString>& names) {
    // The C locale's collation compares code points and ignores the numeric mode.
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        keys.emplace_back(collator.sortKey(names[i].toCaseFolded()), static_cast<qsizetype>(i));
    }
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        const int order = a.first.compare(b.first);
        return order != 0 ? order < 0 : names[a.second] < names[b.second];
    });
    std::vector<QString> sorted;
    sorted.reserve(names.size());
    for (const auto& key : keys) sorted.push_back(std::move(names[key.second]));
    names = std::move(sorted);
}

}  // namespace

RecordingScan::RecordingScan(QListWidget* list, Yield yield)
    : list_(list), yield_(std::move(yield)) {
    // Every line is one row of text in one font. Without this the shown list measures all
    // its lines again at each yield, and a folder of 20,000 files took minutes to scan.
    list->setUniformItemSizes(true);
}

RecordingScan::~RecordingScan() {
    state_->destroyed = true;
}

void RecordingScan::keepInLine(DriveList* drives, FolderList* folders) {
    drives_ = drives;
    folders_ = folders;
}

RecordingScan::Outcome RecordingScan::run(const QString& folderPath) {
    // The scan object, the list or a newer scan may all change while events are processed.
    const std::shared_ptr<State> state = state_;
    const int generation = ++state->generation;
    const auto superseded = [&] {
        return state->destroyed || state->generation != generation || list_.isNull();
    };
    const std::shared_ptr<IFileSystem> fs = FileSystem::current();

    try {
        // 1. A blank path leaves the list as it is.
        if (folderPath.trimmed().isEmpty()) return Outcome::BlankPath;
        // 2. Every full name is the folder prefix followed directly by a file name.
        const QString prefix = folderPrefix(folderPath);
        if (drives_) drives_->showVolumeOf(folderPath);
        // 3. Gather the names in the order the folder lists them, before anything else.
        std::vector<QString> names;
        GatheredNames gathered;
        const auto reader = fs->readRecordingFiles(folderPath);
        while (const std::optional<QString> name = reader->next()) {
            names.push_back(*name);
            gathered.add(*name);
            yield_();
            if (superseded()) return Outcome::Superseded;
        }
        sortByName(names);
        // 4. Clear only now, so a gather that fails leaves no half-built list.
        list_->clear();
        // 5. One line per recording, in name order; a complete pair's camera-2 file adds
        //    nothing, its camera-1 file gives the line.
        const auto partnerExists = [&](const QString& partner) {
            return gathered.exists(*fs, prefix, partner);
        };
        for (const QString& name : names) {
            yield_();
            if (superseded()) return Outcome::Superseded;
            if (const auto line = RecordingLine::ofFile(name, partnerExists)) {
                list_->addItem(line->toItem());
            }
        }
        // The lines would name files of a folder that is gone.
        if (!fs->isFolder(folderPath)) {
            throw Failure(Failure::FileSystem,
                          QStringLiteral("The folder \"%1\" was removed during the scan.")
                              .arg(folderPath)
                              .toStdString());
        }
        // 6. No line is selected.
        list_->setCurrentRow(-1);
        return Outcome::Completed;
    } catch (const Failure& failure) {
        if (superseded()) return Outcome::Superseded;
        // The list shows the folder that the folder list shows, or nothing.
        list_->clear();
        MessageBox::show(messageParent_, QString::fromStdString(failure.what()));
        if (!superseded()) recover();
        return Outcome::Failed;
    }
}

void RecordingScan::recover() {
    if (drives_) drives_->refresh();
    // Moving to an existing folder raises the folder list's Change, which scans that folder.
    if (folders_) folders_->refresh();
    if (drives_ && folders_) drives_->showVolumeOf(folders_->Path());
}

}  // namespace corvid
