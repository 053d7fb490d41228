namespace raid::sim {}
