// Media items: a media item's wave sound or MP3 piece played and stopped by its links.

#include "scene/media_items.h"

#include <chrono>
#include <climits>
#include <span>

#include "media/mp3_player.h"
#include "platform/audio/wave_format.h"
#include "platform/audio/wave_sound.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "platform/ui/message_box.h"
#include "resources/string_table.h"
#include "scene/play_host.h"

namespace scene {
namespace {

constexpr int32_t kWave = 0, kVideo = 1, kMp3 = 2;

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

bool MediaItem::playMedia(bool wait, bool loop, PlayHost& host, int32_t, int32_t) {
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
    case kVideo:
      // The clip itself belongs to the video window; the music stops for it all the same.
      if (music) music->Stop();
      return false;
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
