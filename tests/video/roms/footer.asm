; Shared end of the video test cartridges: pads the image to 8 KB.
        ds 0xA000 - $, 0xFF
