#pragma once
// The component's main window: the disc's fields, the track list, the
// entries drop-down, the copy buttons and the status line. It follows the
// selected drive by a 500 ms poll, lists the audio tracks of a ready disc,
// and turns the user's edits and clicks into changes of the rows and into
// commands.
//
// Unless a member says otherwise it belongs to the window thread: the poll,
// the notifications and the picks all arrive there.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rondel/metadata/accuraterip_lookup.h"
#include "rondel/metadata/freedb_entry.h"
#include "rondel/metadata/lookup_threads.h"
#include "rondel/rip/rip_session.h"
#include "rondel/ui/window_settings.h"
#include "sdk/cdr_api.h"
#include "sdk/ui/container.h"
#include "sdk/ui/edit.h"
#include "sdk/ui/label.h"
#include "sdk/ui/list_view.h"
#include "sdk/rondel_window.h"
#include "sdk/ui/push_button.h"

namespace rondel {

class EntriesDropDown;

// Notify ids of the controls that report to the window.
constexpr int kIdArtistField = 1;
constexpr int kIdTrackField = 2;
constexpr int kIdTrackList = 3;
constexpr int kIdPreferences = 4;
constexpr int kIdCopySelected = 5;
constexpr int kIdCopyAll = 6;
constexpr int kIdCancel = 7;
constexpr int kIdEntries = 9;

// Track list columns.
using window::kColumnArtist;
using window::kColumnLength;
using window::kColumnNumber;
using window::kColumnStatus;
using window::kColumnTrack;

// The poll timer.
constexpr int kPollTimerId = 1;
constexpr int kPollPeriodMs = 500;

// Shown in a field when the selected rows do not share one text; never
// written into a row.
constexpr const char* kMultipleItems = "<<multiple items>>";

using window::kStatusCannotReadDisc;

// What the poll last saw of the selected drive.
enum class DiscState : int {
  Ready = 1,
  NotReady = 2,
  ReadingToc = 3,
  Undetermined = 4,  // at construction and after the drive changed
  NoDisc = 5,
};

class MainWindow final : public qom::ui::Container, private RipSessionListener, public LookupOwner {
 public:
  // `settings` outlives the window (the component's).
  MainWindow(qom::ui::Window* parent, const WindowSettings& settings);
  ~MainWindow() override;

  int onChildNotify(qom::ui::Window* child, int code, std::intptr_t a, std::intptr_t b) override;
  void onTimer(int id) override;

  // Selects the first drive whose name equals `name` byte for byte; leaves
  // the selection as it was when none does. Any thread.
  void selectDriveByName(const std::string& name);
  // Index into the drive table, -1 while there is no drive. Any thread.
  int selectedDrive() const { return selectedDrive_.load(); }

  // Applies the database entry offered under drop-down item `id` (the
  // drop-down's pick): its artist, album, titles, year and genre, when the
  // entry belongs to the disc in the drive.
  void applyEntry(int id);

  // LookupOwner (lookup_start.cpp): called on a lookup thread.
  bool lookupStopRequested(std::uint64_t generation) const override;
  void lookupQuerying(std::uint64_t generation, const std::string& discId,
                      const std::string& queryUrl) override;
  int offerEntry(std::uint64_t generation, const std::string& caption, FreedbEntry entry) override;
  void chooseEntry(std::uint64_t generation, int id) override;
  void lookupFailed(std::uint64_t generation, const std::string& reason) override;
  void lookupEnded(std::uint64_t generation) override;

 private:
  void buildLayout();
  // Disc state.
  void pollTick();
  void discReady();
  void discGone();
  void fillTrackList();
  void startLookup();
  // Makes every earlier lookup stop and keeps it from writing; clears what
  // it published. Called for a new disc and when the disc goes.
  void supersedeLookups();
  void clearEntries();
  void setStatus(const char* text);
  // Editing.
  void applyFieldToColumn(qom::ui::Edit& field, int column);
  void stepToNextRow(qom::ui::Edit& entered, qom::ui::Edit& other, int enteredColumn);
  void loadFieldsFromSelection();
  // Commands.
  void openPreferences();
  // Copying (copy_commands.cpp): rows to jobs, handed to the rip session.
  void copySelected();
  void copyAll();
  bool chooseOutputFolder(std::string& folder);
  void queueAndStart(const std::vector<int>& rows, const std::string& folder,
                     const std::string& pattern);
  // Copy buttons on while a disc is listed and no copy runs; "Cancel
  // copying" on while one runs. Window thread.
  void updateCopyButtons();
  // RipSessionListener: cells, properties and buttons from the session.
  void trackStatus(std::uint32_t trackNumber, const std::string& text) override;
  void trackFileWritten(std::uint32_t trackNumber, const std::string& windowsPath) override;
  void trackFailureReason(std::uint32_t trackNumber, const std::string& reason) override;
  void trackChecked(std::uint32_t trackNumber, const TrackChecks& checks) override;
  void copyEnded() override;
  bool ejectWhenFinished() override;
  // Copy checks (track_checks.cpp): the disc's AccurateRip ids for the disc
  // shown (or none), the AccurateRip lookup beside the freedb one, its end,
  // and a queued row's checksums cleared.
  void resetAccurateRip(bool discShown);
  void startAccurateRipLookup();
  void accurateRipEnded(std::uint64_t generation, AccurateRipResult result);
  void clearTrackChecks(std::uint32_t trackNumber);
  std::string verdictTextLocked(const TrackChecks& checks) const;
  void setAccurateRipLookupLocked(const std::string& state, const std::string& error, const std::string& file);

  const WindowSettings& settings_;

  // Controls, in build order. The panels come first so that, destroyed in
  // reverse order, every control leaves its panel while the panel exists.
  std::unique_ptr<qom::ui::Container> topPanel_, bottomPanel_;
  std::unique_ptr<qom::ui::Label> status_;
  std::unique_ptr<qom::ui::ListView> trackList_;
  std::unique_ptr<qom::ui::Label> artistLabel_;
  std::unique_ptr<qom::ui::Edit> artistField_;
  std::unique_ptr<qom::ui::Label> albumLabel_;
  std::unique_ptr<qom::ui::Edit> albumField_;
  std::unique_ptr<qom::ui::Label> trackLabel_;
  std::unique_ptr<qom::ui::Edit> trackField_;
  std::unique_ptr<qom::ui::Label> yearLabel_;
  std::unique_ptr<qom::ui::Edit> yearField_;
  std::unique_ptr<qom::ui::Label> genreLabel_;
  std::unique_ptr<qom::ui::Edit> genreField_;
  std::unique_ptr<qom::ui::PushButton> preferences_;
  std::unique_ptr<qom::ui::Label> promoLabel_, linkLabel_;
  std::unique_ptr<qom::ui::Label> entriesLabel_;
  std::unique_ptr<EntriesDropDown> entries_;
  std::unique_ptr<qom::ui::PushButton> copySelected_, copyAll_, cancel_;

  // Disc record. The table of contents is the window thread's; the present
  // flag is atomic because the lookup work tests it from its own thread.
  CdToc toc_{};
  std::atomic<std::uint8_t> discPresent_{0};
  // Database entries by drop-down item id; written by the lookup thread and
  // read on the window thread, so always under entriesMutex_.
  std::mutex entriesMutex_;
  std::map<int, FreedbEntry> entriesMap_;

  // Poll data. selectedDrive_ is written by the "Device" callback on any
  // thread; the rest is the window thread's.
  std::atomic<int> selectedDrive_{-1};
  int lastPolledDrive_ = -1;
  DiscState discState_ = DiscState::Undetermined;

  // Threads that can touch the window; destruction ends both before the
  // controls go. The lookup threads are started and joined on the window
  // thread only; each ends at its next check of lookupStop_ (all, set by
  // destruction) or of lookupGeneration_ (bumped by the window thread when
  // a newer disc comes or the disc goes: only the newest lookup may write).
  LookupThreads lookups_;
  std::atomic<bool> lookupStop_{false};
  std::atomic<std::uint64_t> lookupGeneration_{0};
  // The copy checks, under checksMutex_ (window, worker and lookup
  // threads): the disc's AccurateRip identity, the lookup's state
  // (accuraterip.lookup) and the responses it found, and the checksums of
  // the tracks copied since the disc came, by track number.
  mutable std::mutex checksMutex_;
  verify::DiscIds accurateRipDisc_;
  std::string accurateRipLookup_;
  std::vector<verify::Response> accurateRipResponses_;
  std::map<std::uint32_t, TrackChecks> copiedChecks_;
  // The copies: declared after the controls, so it goes (closed, its worker
  // joined) before them; destruction closes it first anyway.
  RipSession rip_{*this};
};

// The registered main window, or null. Use it only under mainWindowLock():
// the window's destruction takes the same lock before it unregisters, so a
// caller holding the lock never sees a window that is being freed.
MainWindow* mainWindow();
std::mutex& mainWindowLock();
// 1 while the registered window is alive; the lookup thread tests it before
// each write into the window. Any thread.
bool windowAlive();

}  // namespace rondel
