#pragma once

#include "collection/Ingest.h"
#include "collection/terminals/TfmComunica.h"

// Installs the Q90 carrier's commands in the collection dialog (TfmComunicacao::setQ90Commands).
void installQ90Commands();

// The collection layer's part of a Q90 collection: the backup folder and
// ConvertAndIngestQ90Listing, with the ingest's lines going to the carrier's log and the
// review window asked for through `callbacks`.
TfmComunica::Ingestor q90Ingestor(std::function<void()> showReview);
