#pragma once
// The track of a movie that comes to the cutting list without one (added
// with "+", dropped, a row of the list never loaded): the telemetry the
// list gives the movie, loaded as the player loads it (its track file, else
// its share of the GPS log the list matched to it, on the list's clock).

#include "ICropHost.h"

namespace kp {

class TFileManager;

// The movie as Catalogue lists it; one the list does not hold is paired as
// the list would pair it. Nothing without a catalogue.
TCropTrack CropTrackOf(const TFileManager *catalogue, const QString &videoFileName);

} // namespace kp
