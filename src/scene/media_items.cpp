// Media items: a media item's wave sound, video clip or MP3 piece played and stopped by its
// links.

#include "scene/media_items.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <span>

#include "media/mci_player_window.h"
#include "media/mp3_player.h"
#include "media/video_window.h"
#include "platform/audio/wave_format.h"
#include "platform/audio/wave_sound.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "platform/sys/temp_file.h"
#include "platform/ui/message_box.h"
#include "resources/string_table.h"
#include "scene/play_host.h"
#include "scene/temp_data_file.h"

namespace scene {
namespace {

constexpr int32_t kWave = 0, kVideo = 1, kMp3 = 2;

// Ends the background clip and deletes its file.
void StopVideoWindow(media::VideoWindow& window) {
  window.OnCommand(media::ID_VIDEO_STOP);
  window.OnCommand(media::ID_VIDEO_CLOSE);
  const std::string old = window.FileName();
  if (!old.empty()) sys::RemoveFile(old);
}

// The clip goes to a temporary file whose name ends in ".avi", the name the player opens
// it by. Empty when it cannot be written (the message has been shown).
std::string WriteClipFile(const DataBlock& data) {
  std::string temp;
  if (!WriteTempFile(data.data(), data.size, temp)) return {};
  std::string avi = temp + ".avi";
  // Known to the exit path before it exists; the rename replaces any file of that name.
  sys::AdoptTempFile(avi);
  if (std::rename(temp.c_str(), avi.c_str()) != 0) {
    sys::RemoveFile(temp);
    sys::RemoveFile(avi);
    return {};
  }
  sys::ForgetTempFile(temp);
  return avi;
}

}  // namespace

bool MediaItem::prepare(const SceneList&) {
  if (UnusedResource(*this, references)) return true;
  if (data.size > 0) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_MEDIA), ui::MessageIcon::Stop);
  return false;
}

bool PlayMediaItem::prepare(const SceneList&) {
  return disabled || (name.validate() && link.validate());
}

bool StopMediaItem::prepare(const SceneList&) {
  return disabled || (name.validate() && link.validate());
}

bool MediaItem::playMedia(bool wait, bool loop, PlayHost& host, int32_t x, int32_t y) {
  media::MP3Player* music = host.Mp3Player();
  audio::WaveSound* sounds = host.WaveSounds();
  switch (mediaType) {
    case kWave: {
      if (music) music->Stop();
      if (host.Muted() || !sounds) return false;
      sounds->Stop();
      uint32_t flags = audio::SND_MEMORY | audio::SND_NODEFAULT;
      if (!wait) flags |= audio::SND_ASYNC | (loop ? audio::SND_LOOP : 0);
      return sounds->Play(std::span<const uint8_t>(data.data(), data.size), flags, host.Clock());
    }
    case kVideo: {
      if (music) music->Stop();
      media::VideoWindow* window = host.Video();
      media::ClipScreen* screen = host.ClipTarget();
      if (!window || !screen) return false;
      StopVideoWindow(*window);
      const std::string avi = WriteClipFile(data);
      if (avi.empty()) return false;
      if (!wait) {
        window->OnCommand(media::VideoCommand::Open(avi));
        window->OnCommand(media::VideoCommand::SetPos(x, y));
        // Clips that do not wait honour the Mute setting as the waiting ones do.
        window->SetMute(host.Muted());
        // lParam 0: a clip that does not wait repeats until it is stopped.
        window->OnCommand({media::ID_VIDEO_PLAY, 0});
        return window->Opened();
      }
      auto player = std::make_unique<media::MciPlayerWindow>(*screen, host.Clock());
      host.SetCurrentPlayer(player.get());
      player->SetMute(host.Muted());
      const bool played = player->Run(loop ? 1 : -1, x, y, avi);
      player->Finish();
      host.SetCurrentPlayer(nullptr);
      return played;
    }
    case kMp3:
      if (host.Muted() || !music) return false;
      if (sounds) sounds->Stop();
      music->Stop();
      music->Start(data.data(), data.size > INT_MAX ? INT_MAX : static_cast<int>(data.size), wait,
                   loop);
      return music->Playing() && !(wait && music->Thread()->failed);
    default:
      return false;
  }
}

void MediaItem::stopMedia(PlayHost& host) {
  if (mediaType == kWave && host.WaveSounds()) host.WaveSounds()->Stop();
  if (mediaType == kVideo && host.Video()) StopVideoWindow(*host.Video());
  if (mediaType == kMp3 && host.Mp3Player()) host.Mp3Player()->Stop();
}

int PlayMediaItem::play(PlayHost& host, int32_t&) {
  auto* media = dynamic_cast<MediaItem*>(link.media);
  if (!media) return 1;
  const MediaPlayOptions& o = link.options;
  if (!o.waitUntilDone) {
    media->playMedia(false, o.loopInBackground != 0, host, o.videoX, o.videoY);
    return 1;
  }
  for (int32_t i = 0; (o.endless || i < o.repeatCount) && !host.StopEvent().IsSet(); ++i) {
    if (!media->playMedia(true, false, host, o.videoX, o.videoY) && o.endless) {
      // Endless repetition of something that does not play (muted, unusable data) would
      // spin: it waits for the stop instead.
      while (!host.StopEvent().IsSet())
        host.Clock().WaitFor(host.StopEvent(), std::chrono::seconds(1));
    }
  }
  return 1;
}

int StopMediaItem::play(PlayHost& host, int32_t&) {
  if (auto* media = dynamic_cast<MediaItem*>(link.media)) media->stopMedia(host);
  return 1;
}

}  // namespace scene
