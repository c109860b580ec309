// Image loader checks (filled in below).
