# Detector models, checked against their pinned sha256 and built into the binary.
# (Filled in with the detectors; for now an empty library so that the platform links.)
add_library(autoframe_models INTERFACE)
