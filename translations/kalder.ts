<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" sourcelanguage="en">
<context>
    <name>Choices</name>
    <message>
        <source>Lanczos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bicubic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bilinear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cosine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No compression</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CCITT 1D Huffman</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CCITT Group 3 Facsimile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CCITT Group 4 Facsimile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lempel-Ziv &amp; Welch (LZW)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Baseline JPEG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PackBits</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deflate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leave in Place</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore Background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore Previous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3 images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>4 images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>9 images</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Commands</name>
    <message>
        <source>&amp;Open...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open an image file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy Image to Clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy the current image to the clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select &amp;All Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select all files in the current folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Descr&amp;ibe Image...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add or edit image descriptions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image Pale&amp;tte...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display the image palette</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Centered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set wallpaper and center it at the desktop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Tiled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set wallpaper and cover the desktop with it as tile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Stretched</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set wallpaper and stretch it to the size of the desktop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy/Move File(s) to &amp;Folder...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy currently selected file(s) to the specified folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename currently selected image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete File(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete currently selected file(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ne&amp;w Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create a new folder in the currently selected folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Re&amp;name Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename currently selected folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>D&amp;elete Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete currently selected folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Small Thumbnail View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn on the small thumbnail view mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Big Thumbnail View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn on the big thumbnail view mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;List View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn on the list view mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>De&amp;tails View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn on the details view: one row per file with its size, dimensions, type and date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>by &amp;Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sort images in the image browser by file name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>by &amp;Extension</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sort images in the image browser by file type (extension)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>by &amp;Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sort images in the image browser by file size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>by &amp;Date/Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sort images in the image browser by date of their creation/last modification</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ascending</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sort from A to Z, smallest or oldest first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Desc&amp;ending</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sort from Z to A, largest or newest first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Filter...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change the file filter string</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refres&amp;h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reload the current image file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Print...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring up the Print dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acquire...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acquire images from a scanner or camera through SANE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select Source...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send by E-&amp;mail...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send selected images by E-mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run the current file with associated application</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close the program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Previous File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move selection to previous image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move selection to next image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;First File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move selection to the first image in the current folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Last File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move selection to the last image in the current folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous Selected File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next Selected File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;tart/Stop Slide Show</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start or stop automatic moving of the selection through current folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ad&amp;just Slide Show...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring up the slide show parameters dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P&amp;revious Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the previous frame of the animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>N&amp;ext Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the next frame of the animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F&amp;irst Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the first frame of the animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&amp;ast Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the last frame of the animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Start/Stop Animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start or stop the GIF animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Image...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Next Image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Name Bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show or hide the name bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image In&amp;formation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show or hide the zoom, size, position and page over the image in the viewer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interactive &amp;Lens</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tun on or off the interactive lens mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image &amp;Properties</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show/hide the image properties panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom the image in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom the image out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom &amp;1:1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset zoom showing the image in its original size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show current image in its actual size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fit &amp;All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show current image so that it exactly fits into the viewing area size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;utofit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose between &quot;Fit Height&quot; and &quot;Fit Width&quot; automatically basing on image proportion</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fit &amp;Width</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show current image so that its width exactly fits into the viewing area size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fit &amp;Height</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show current image so that its height exactly fits into the viewing area size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Zoom all images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allow to zoom all images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom &amp;large images only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allow to zoom large images only (larger than the viewing area)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom &amp;small images only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allow to zoom small images only (smaller than the viewing area)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate by 90 &amp;Deg. Counterclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate the image by 90 degrees counterclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate by 90 D&amp;eg. Clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate the image by 90 degrees clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;0 Deg.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset image rotation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>90 &amp;Deg. Clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show image rotated 90 degrees clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>90 D&amp;eg. Counterclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show image rotated 90 degrees counterclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;180 Deg.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn image upside down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip &amp;Horizontally</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip (mirrors) image horizontally</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip &amp;Vertically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip (mirrors) image vertically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Reset All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset rotation and flip settings and show the image in its normal position</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Increase Gamma</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Brighten the image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Decrease Gamma</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Darken the image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Reset Gamma</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset gamma setting showing the image with its original brightness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll Left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll Right</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll Left Slowly</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll Right Slowly</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset Position</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Transparency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show image transparency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Negativ&amp;e</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invert image colors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load progressively</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load images progressively</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Squeeze with interpolation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Squeeze images with high quality</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stretch with interpolation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stretch images with high quality</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Viewer/Browser</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Switch user interfaces</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F&amp;ull Screen Viewing Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Switch viewing modes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browser Only (Esc to exit)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Disable Color Management Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disable the color management options when displaying images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Focus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add Folder...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add current folder to the list of favorites</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring up the favorites deletion dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Configure...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring up the &quot;Open with&quot; configuration dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;JPEG Transformations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show/hide the lossless JPEG transformations panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Batch &amp;Convertor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show/hide the Batch Convertor panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;GIF Animation Compiler...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compile selected images to an animated GIF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Icon/Cursor Compiler...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compile selected images to an icon/cursor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lumidrex...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit the current image with Lumidrex</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Modify Exif Orientation Tag...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Modify Exif Orientation tag in all selected images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;PSD Decompiler...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extract layers from selected PSD files as a bunch of BMP or PNG files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the options dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File Associations...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allow you to associate different file types with Kalder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Customize &amp;Toolbar...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring up the toolbar customization dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display some information about Kalder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Lumidrex Home Page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Kalder Home Page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;ort Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Fit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rotate/Flip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate to &amp;Position</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Gamma</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set as Des&amp;ktop Wallpaper</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ac&amp;quire</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Panoramic &amp;Scrolling</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F&amp;avorites</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open with</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ot&amp;her Products</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Describe Image...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open with</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Panoramic &amp;Scroll</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Negative</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Na&amp;me Bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>R&amp;ename Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>De&amp;lete Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add Folder to Favorites...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Customize...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DialogHelp</name>
    <message>
        <source>&amp;Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Specify the application executable file directly</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse &amp;shortcut...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose an application from the Start menu or from the Desktop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The name which appears in the &quot;Open with&quot; menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The name which appears in the &quot;Favorites&quot; menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Forward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selection in the image browser will be moved automatically forwards after the delay has passed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Backward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selection in the image browser will be moved automatically backwards after the delay has passed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Repeat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If set and the last image in a folder has been shown the slide show will start again from the first image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a new application entry to the &quot;Open with&quot; menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>R&amp;emove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove selected application entry from the menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move the selected application entry up the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move the selected application entry down the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check all associations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uncheck all associations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invert checked associations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Verify file associations every time on startup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn on or off checking if some other application has &quot;stolen&quot; some file associations from Kalder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Specify the output file name and location</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Amount of time the current frame is shown for (hundreths of a second)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Animate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start playing the animation using current frame settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply &amp;to all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set current frame&apos;s delay to all frames of the animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply to all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set current frame&apos;s disposal method to all frames of the animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Interlaced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force progressive image loading in the most of web browsers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hundreths of a second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select all source images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove the selection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invert the selection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select all frames</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Double-click to assign a hot spot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add Page(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add selected image(s) from the &quot;Source Images&quot; list into the &quot;Pages&quot; list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>De&amp;lete Page(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Removes selected page(s) from the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Page(s) &amp;Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Moves selected page(s) up the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Page(s) &amp;Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Moves selected page(s) down the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Transparent &amp;Image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set the image mask for the chosen page(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Transparent C&amp;olor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create image mask(s) automatically using a chosen color</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set D&amp;elay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Assign delay to the chosen page(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Hot &amp;Spot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Define coordinates of the pixel which works when user clicks a mouse button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;nimate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plays all pages sequentially as animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a file name and location to save the icon or the cursor as</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Place result to the following folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force output to the specified folder instead of replacing originals (if converting to the same format)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy sub-folder structure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check to copy the folder structure when writing files to the specified folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the output folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Prefix to be inserted before the destination file name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Suffix to be inserted after the destination file name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Keep original</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leave the current (if any) comments intact</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P&amp;reserve &quot;last modified&quot; date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allow copying of creation and modification dates from source to output file(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Format Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring up a format settings dialog for the chosen format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Maintain aspect ratio/maximize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Forces keeping of the original image proportion when resampling</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Swap width/height for vertical images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use the value specified in the &quot;Height&quot; field as width and the value specified in the &quot;Width&quot; as height if width of the original image is smaller than its height (i.e. it is vertical)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Specify the overlay image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click one of the nine boxes to define overlay placement</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preview font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check to use the custom font in the &quot;Text&quot; field</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;No background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The text will be written directly upon the image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A rectangle of the specified color and transparency will be placed below the text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Shadow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The text will cast a shadow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a folder to copy to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Describe Image..</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add or edit image description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy content of the &quot;Tag&quot; and &quot;Value&quot; columns to the clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Palette...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display the image palette</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Place result to the following folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force output to the specified folder instead of replacing originals</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Center loaded images and reset zooming</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Center each loaded image within the viewing area</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wall&amp;paper on the window background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable the wallpaper on the viewing area background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use E&amp;xif data to automatically orient images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use Exif orientation tag to automatically rotate/flip images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Enable dithering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable dithering in 16-bit (high-color) and 8-bit (256 colors) display modes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If image width and height are lesser than this value no interpolation will be applied</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Transparency background...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Customize the color on which images with transparency are overlaid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Window background color...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Customize the color of the viewing area background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;nable on-screen display</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn on OSD elements (arrows and the gamma indicator)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color profiles</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use color profile to adjust the colors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Custom calibration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Define the color adjustment values manually</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use default color profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use the system default color profile file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The effect of Page Up, Page Down, Home and End keys</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The effect of the mouse wheel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>As in the As in &amp;Windows Explorer (moves files, +Ctrl copies files)file manager (moves files, +Ctrl copies files)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If checked, Drag-and-Drop moves files and +Ctrl copies them; if unchecked, Drag-and-Drop copies files and +Shift moves them</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ask before copying/moving files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If checked, you will be asked for confirmation before copying/moving files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;RLE-compressed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force the use of RLE compression on 256-color files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reduce color representation quality to make the output file smaller</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Progressive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Forces progressive image loading in some web browsers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy Exif information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy Exif data (if any) from the source to the output file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Gray-scale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force conversion of the image(s) to gray-scale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set the value of the integrated gamma correction mechanism</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset the value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force progressive image loading in some web browsers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force the use of RLE compression</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P&amp;roperties...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring up the printer settings dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Zoom to maximize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Force stretching of image to the size of its printing area so that it occupies it wholly</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Custom size...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Define custom size for all images. This value resets each time you change the printer settings or number of copies</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The number of copies of each image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Retain original transparency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transparency will be copied from source image(s) to output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>R&amp;emove any transparency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No transparency will be copied from source image to output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Use RGB to specify the transparent color</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Specify the transparent color manually</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>U&amp;se the transparent palette index</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Specify the index of a color in palette to become transparent</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Effects</name>
    <message>
        <source>Gamma|Values~Red: %i~Green: %i~Blue: %i|Options#Lock the values#Use the viewer&apos;s current gamma</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Negative</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Black-and-white</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileInfo</name>
    <message>
        <source>bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>pixels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>high-color</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>gray-levels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>colors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>true-color</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Filters</name>
    <message>
        <source>All supported image files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows Bitmap (*.bmp)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JPEG Image (*.jpg)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG Image (*.png)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TGA (Truevision Targa Image) (*.tga)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TIFF Image (*.tif)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>KeyNames</name>
    <message>
        <source>Esc</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Space</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Backspace</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Page Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Page Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Home</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Up Arrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Down Arrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left Arrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right Arrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Insert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num &apos;+&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num &apos;-&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num &apos;*&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num &apos;/&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browser Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browser Forward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browser Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browser Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browser Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browser Favorites</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browser Start and Home</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Volume Mute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Volume Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Volume Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next Track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous Track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop Media</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play/Pause Media</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select Media</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Application 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Application 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left Ctrl</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right Ctrl</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shift</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left Shift</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right Shift</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Caps Lock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num Lock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll Lock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 7</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 8</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num 9</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left mouse button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right mouse button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Middle mouse button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>X1 mouse button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>X2 mouse button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Applications</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Computer Sleep</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Control-break processing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CrSel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Decimal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Erase EOF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Execute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ExSel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Accept</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Convert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Final mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Hangul mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Hanja mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Junja mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Kana mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Kanji mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Mode change request</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Nonconvert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IME Process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left Menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left Windows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PA1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print Screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right Menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right Windows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Separator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>Custom size is larger than the page size. The image area is truncated.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please clear both horizontal and vertical resolution values to use the default values or specifiy both of them explicitly.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer(s) not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot save the acquired image.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error acquiring image(s).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The folder cannot be moved/copied to its own sub-folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid destination folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t find valid Exif Orientation tag in the file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t modify the file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resampling ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Converting ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t access file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t read image:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The resampled image is too large:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The current palette type is not supported by the output format.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File is to be modified:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File is read-only:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot load the overlay image.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>At least two images must be selected to use this tool.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loading image files ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to load the image files.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading frames ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Processing ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The output file already exists. Do you want to overwrite it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot read file (frame):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot write the output file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some of the frames use transparency. Applying separate palettes to such frames may cause the file to be shown improperly. Do you really want to apply?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to set new mask for image(s)?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to load the images.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to remove page(s) from the list?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You have not selected pages to apply the mask to.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You must select only one mask image.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only single-frame black-and-white or grayscale files can be used as masks.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warning! Some of the pages have no black color in their palettes!
This may cause the file to be shown improperly.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write the output file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File already exists:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot create the folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color profile file is not found or invalid. No color profile will be used.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file ends too early</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not a file of this format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unsupported variant of the format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file is damaged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the image is too large</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no further frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no reader for this format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot use the trash folder %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No usable trash folder on the device of %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Too many items of this name in the trash %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The source and destination file names are the same. %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Applications</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>You have started Kalder for the first time.
Do you want to review and adjust the options now?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use the keyboard shortcuts common to desktop programs (Ctrl+O opens a file, Ctrl+Q quits, the arrow keys go to the previous and next file)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StatusBar</name>
    <message>
        <source>Full-Screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windowed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press F1 for help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No information</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Wallpaper</name>
    <message>
        <source>The wallpaper could not be set: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tried:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set as Desktop Wallpaper</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::AcquireDialog</name>
    <message>
        <source>&amp;Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Scan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acquire</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Device:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Mode:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Resolution:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;ource:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No scanner was found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scanning ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gray</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line art</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::AddApplicationDialog</name>
    <message>
        <source>Add Application</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse &amp;shortcut...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Label:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Path:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Executable Files (*);;All Files (*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::AddFavoriteDialog</name>
    <message>
        <source>Add Folder to Favorites</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Label:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::AnchorSelector</name>
    <message>
        <source>Align: %1 %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::ApplicationsDialog</name>
    <message>
        <source>Add/Remove Application Shortcuts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>R&amp;emove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Applications:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The menu holds at most %1 entries. Remove one before adding another.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::AssociationsChangedDialog</name>
    <message>
        <source>File Associations Changed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Set All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Choose..</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do &amp;not Set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kalder has detected that some file types are not currently associated with it. Please choose which associations should be set.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::AssociationsDialog</name>
    <message>
        <source>File Associations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extension(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Verify file associations every time on startup</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::BatchConvertorDialog</name>
    <message>
        <source>Batch Convertor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>General</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resample</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate/Flip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Effects</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Overlay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Convert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Place result to the following folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy sub-folder structure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P&amp;reserve &quot;last modified&quot; date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>selected only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>all in the current folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>all including all sub-folders</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File comments</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Keep original</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name prefix:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name suffix:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply to:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows Bitmap</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CompuServe GIF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JPEG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TIFF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TGA (Truevision Targa Image)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PCX (ZSoft Paintbrush Image)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Format Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Transparency Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Original/Optimized</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Web-safe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back-and-white</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Standard VGA</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows System</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ordered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Floyd-Steinberg</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Jarvis</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stucki</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Palette:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color depth:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dithering:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pixels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Inches</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Millimeters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Centimeters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Meters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Feet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yards</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Picas</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Percents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Units</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Maintain aspect ratio/maximize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Swap width/height for vertical images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lanczos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bicubic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bilinear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cosine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Width:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Height:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Method:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>dpi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Horizontal:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vertical:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn upright by the Exif orientation &amp;first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Do not rotate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>90 &amp;degrees clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;180 degrees</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;90 degrees counterclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip (mirror) h&amp;orizontally</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip (mirror) &amp;vertically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the output folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The ordered dithering cannot be used with this palette.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BMP Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TGA Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[original]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please specify the output folder.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::BatchEffectsPage</name>
    <message>
        <source>Reset all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uncheck all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preview Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Processing order...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Parameters:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to reset all the effects?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to uncheck all the effects?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::BatchOverlayPage</name>
    <message>
        <source>No overlay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preview font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Font...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Center</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text Overlay Effects...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text alignment:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Horizontal spacing:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vertical spacing:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Specify the overlay image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2 pt</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::BatchReportDialog</name>
    <message>
        <source>Files with problems</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 converted (%2 with damage), %3 failed, %4 skipped</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::BrowseShortcutDialog</name>
    <message>
        <source>Browse Shortcut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Desktop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You have selected nothing or an item that cannot be executed.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::BrowserPane</name>
    <message>
        <source>Filter by name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Thumbnail size:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Thumbnail size</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::ColorPage</name>
    <message>
        <source>Color profiles</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Custom calibration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use default color profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select profile...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color Profiles (*.icm *.icc);;All Files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use the slider to adjust the color of the inner square so that its color is closest to the border color emulated with linear pattern.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use the slider to adjust the colors so that the bright and dark areas of the square are approximately equal.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Red</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Green</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Additional gamma</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current value: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::ControlsPage</name>
    <message>
        <source>Kalder standard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Desktop standard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key scheme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key &amp;scheme:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Command</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Modifier</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add Shortcut...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit Shortcut...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Remove Shortcut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set &amp;Default Shortcuts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Miscellaneous...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shortcuts:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::CopyMoveDialog</name>
    <message>
        <source>Copy/Move to Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Move Files</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::CustomSizeDialog</name>
    <message>
        <source>Custom size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Inches</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Millimeters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Original size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Width:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Height:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::CustomizeToolbarDialog</name>
    <message>
        <source>Customize Toolbar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Available Buttons:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Toolbar Buttons:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add -&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add &amp;Separator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;- &amp;Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>R&amp;eset</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::DeleteFavoritesDialog</name>
    <message>
        <source>Delete Folders from Favorites</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to remove &quot;%1&quot; from Favorites?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::DescribeImageDialog</name>
    <message>
        <source>Describe Image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::DialogBase</name>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::EditShortcutDialog</name>
    <message>
        <source>Edit Shortcut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>With &amp;Ctrl Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>With &amp;Alt Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>With &amp;Shift Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Command:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::EffectOrderDialog</name>
    <message>
        <source>Effect Processing Order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Reset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to set the default order?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::EffectsPreview</name>
    <message>
        <source>Effects Preview</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::ExifOrientationDialog</name>
    <message>
        <source>Modify Exif Orientation Tag</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0th row and 0th column</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn &amp;Clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn Counte&amp;rclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File is read-only:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Top, left side (1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Top, right side (2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom, right side (3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom, left side (4)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left side, top (5)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right side, top (6)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right side, bottom (7)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left side, bottom (8)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::FileCommands</name>
    <message>
        <source>Rename</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter new file name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File already exists:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::FileExistsDialog</name>
    <message>
        <source>&amp;Overwrite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>O&amp;verwrite all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Skip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skip &amp;All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::FileFilterDialog</name>
    <message>
        <source>File Filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filter string (separate filters with space, insert | before exclusion filters):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Default (all supported files)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;JPEG Files Only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;All Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Custom</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::FindImageDialog</name>
    <message>
        <source>Find Image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find what:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Match &amp;case</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Match whole &amp;words only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search &amp;descriptions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search names+&amp;extensions</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::FolderTreePane</name>
    <message>
        <source>Folders</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot create the folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to move the folder %1 to the Trash?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::GifCompilerDialog</name>
    <message>
        <source>GIF Animation Compiler</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>General</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frames</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Compile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File comments:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Animate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current frame&apos;s delay:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply &amp;to all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current frame&apos;s disposal method:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply to all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 colors (1 bit)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 colors (%2 bits)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Palette:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color depth:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dithering:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Interlaced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Use transparency to minimize file size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Create separate palette for each frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Loop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Transparency Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frame %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The ordered dithering cannot be used with this palette.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIF Images (*.gif)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file was written to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Optimized</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Web-safe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back-and-white</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Standard VGA</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows System</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ordered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Floyd-Steinberg</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Jarvis</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stucki</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;First</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;&lt; &amp;Previous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next &gt;&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Last</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to set delay value to %1!i! for all frames?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to set disposal method to &quot;%1!s!&quot; for all frames?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::GifOptionsDialog</name>
    <message>
        <source>GIF Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interlaced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transparency...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::HelpWindow</name>
    <message>
        <source>Kalder Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Forward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open in &amp;Web Browser</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::IconCompilerDialog</name>
    <message>
        <source>Makes the sizes desktops look for (16 to 256 pixels) from the selected picture and adds them as pages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file was written to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Icon/Cursor Compiler</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Source images:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pages:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Masks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Compile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play Animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delay: %1
Hot Spot: %2,%3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop Animation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Icons (*.ico)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cursors (*.cur)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Animated Cursors (*.ani)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loading image files ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add Page(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>De&amp;lete Page(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Page(s) &amp;Up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Page(s) &amp;Down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Transparent C&amp;olor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Transparent &amp;Image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set D&amp;elay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Hot &amp;Spot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Standard Si&amp;zes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;nimate</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::JpegOptionsDialog</name>
    <message>
        <source>JPEG Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quality:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smoothing:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>High quality(4:4:4)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Middle quality (4:3:3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low quality (4:2:2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sampling factor:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Progressive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gray-scale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy Exif information</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::JpegTransformDialog</name>
    <message>
        <source>JPEG Transformations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Place result to the following folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P&amp;reserve &quot;last modified&quot; date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut o&amp;ff the edge pixels a transformation cannot keep</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Transform</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The JPEG file &quot;%1&quot; cannot be transformed unless %2 pixel(s) from the right edge and %3 pixel(s) from the bottom edge are cut off. Click [Yes] to cut them off and do the transformation or [No] to skip the file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to convert JPEG file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The transformed copy is kept as %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t access JPEG file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File is read-only:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; already exists. Do You want to overwrite it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate &amp;90 deg. counterclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate 90 deg. &amp;clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>T&amp;urn upside-down</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip (mirror) h&amp;orizontally</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip (mirror) &amp;vertically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tra&amp;nspose (mirror across the top-left to bottom-right diagonal)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tran&amp;sverse (mirror across the top-right to bottom-left diagonal)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Turn as the &amp;Exif orientation says</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::LocateCompanionDialog</name>
    <message>
        <source>Locate Lumidrex</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find automatically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Specify the path manually</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit Site</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lumidrex Executable (Lumid.exe lumid);;All Files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t find Lumidrex.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lumidrex is a separate program for cleaning up images: it removes noise, scratches and red eyes, and sharpens scans. Kalder hands it the current image once it knows where Lumidrex is installed.

Let Kalder search your disks for it, show it the program file yourself, or get Lumidrex from its site.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Lumidrex&apos;s executable file is invalid.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::MailDialog</name>
    <message>
        <source>Send Image(s) by E-mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cc:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bcc:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Settings...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password for %1:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The message was sent, but the server refused these recipients:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::MailOptionsDialog</name>
    <message>
        <source>E-mail Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>STARTTLS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SSL/TLS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trusted certificates file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only the system&apos;s certificates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the trusted certificates file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trusted certificates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Certificates (*.pem *.crt *.cer);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SMTP server name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SMTP Server Port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Security:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From Address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reply-To Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reply-To Address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trusted certificates:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::MainWindow</name>
    <message>
        <source>Viewer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Internal error: %1-%2-25d
Please send this report to support@kalder.org.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About Kalder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;h3&gt;Kalder %1&lt;/h3&gt;&lt;p&gt;(%2)&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;p&gt;An image viewer and image-folder browser.&lt;/p&gt;&lt;p&gt;&amp;copy; Brenmoor Software&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot view file: &quot;%1.&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Damaged file: data ends at row %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::MiscControlsDialog</name>
    <message>
        <source>Miscellaneous Controls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;specified by shortcuts&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>scroll the image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>switches the current image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>zooms the image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>scrolls the image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drag-and-Drop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>As in the As in &amp;Windows Explorer (moves files, +Ctrl copies files)file manager (moves files, +Ctrl copies files)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ask before copying/moving files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Page Up/Down/Home/End keys</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mouse wheel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::MiscPage</name>
    <message>
        <source>Ex&amp;it with ESC key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use E&amp;xif data for thumbnails</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rotate Exif thumbnails clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share thumbnails with other programs (thumbnail &amp;cache)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cache thumbnails of files on removable &amp;media too</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Show file information tooltips</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enhanced &amp;window layout</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show file information in the status &amp;bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show &amp;text under icons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File browser&apos;s scroll bar size:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default horizontal resolution:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default vertical resolution:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::OptionsDialog</name>
    <message>
        <source>Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Viewer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OSD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color Management</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Controls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Misc.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::OsdPage</name>
    <message>
        <source>E&amp;nable on-screen display</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Small</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Normal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Large</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On-screen display element size:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::PaletteDialog</name>
    <message>
        <source>Color %1 (%2h): %3, %4, %5 (#%6%7%8)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transparent color: none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transparent color: %1 (%2h)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 - palette</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::PngOptionsDialog</name>
    <message>
        <source>PNG Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transparency...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gamma correction:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interlaced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Additional Comments</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keywords:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[default]</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::PrintDialog</name>
    <message>
        <source>P&amp;roperties...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Custom size...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Zoom to maximize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Identical values</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Where:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Layout:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copies:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resampling:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Horizontal resolution:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vertical resolution:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printer &quot;%1&quot; is not available.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The print job could not be started on &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printer refused a new page.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The print job could not be finished.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[default]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>page %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::ProgressDialog</name>
    <message>
        <source>Image:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press ESC key to stop</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::PropertiesPanel</name>
    <message>
        <source>Meaning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image Properties</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tag</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Palette...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Describe Image..</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::PsdDecompilerDialog</name>
    <message>
        <source>Output folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BMP (alpha as separate file)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG (alpha as transparency)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Expand/crop layers to image size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Decompile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PSD Decompiler</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::RenameFileDialog</name>
    <message>
        <source>Rename</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter new file name:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::RleOptionsDialog</name>
    <message>
        <source>RLE-compressed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::SelectSourceDialog</name>
    <message>
        <source>No scanner was found. Check that it is connected and switched on; scanners on the network or from some makers need their SANE backend set up first (see the files in /etc/sane.d).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scanners</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select Source</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::SetDelayDialog</name>
    <message>
        <source>Set Delay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delay value:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::SetHotSpotDialog</name>
    <message>
        <source>Set Hot Spot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>X:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::SlideShowDialog</name>
    <message>
        <source>Adjust Slide Show</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sequence</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Forward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Backward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Repeat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::StatusBar</name>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Viewing mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 × %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>frame %1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>page %1 / %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::TextOverlayEffectsDialog</name>
    <message>
        <source>Text Overlay Effects</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;No background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Shadow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Text color...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Box &amp;color...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opacity:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Margin:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shadow offset:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::ThumbnailBrowser</name>
    <message>
        <source>Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dimensions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Modified</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Columns</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 × %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete %1 for good? This cannot be undone.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A file name cannot contain &quot;/&quot; or be &quot;.&quot; or &quot;..&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::TiffOptionsDialog</name>
    <message>
        <source>TIFF Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compression:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::Toolbar</name>
    <message>
        <source>%1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::TransparencyOptionsDialog</name>
    <message>
        <source>Transparency Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Retain original transparency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>R&amp;emove any transparency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Use RGB to specify the transparent color</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>U&amp;se the transparent palette index</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Choose Color...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Palette index:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>kalder::gui::ViewerPage</name>
    <message>
        <source>&amp;Center loaded images and reset zooming</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wall&amp;paper on the window background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use E&amp;xif data to automatically orient images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Enable dithering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Display progress indicator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;opy images to the clipboard at the window&apos;s size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Transparency background...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Window background color...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use the desktop &amp;theme&apos;s background colour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minimal image size for stretching with interpolation:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
