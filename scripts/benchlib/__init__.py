"""The parts of `make bench` (scripts/bench.py runs them in order)."""
