#include "resources/profile_strings.h"

#include "resources/resource_ids.h"

// One attribute per line, line feeds as line ends; the layout carries no
// meaning to the profile parser.
const StringResource ProfileStrings[kProfileStringCount] = {
    {IDS_PROFILE_CBR_64K, R"(<profile version="589824"
         storageformat="1"
         name="44kHz Stereo CBR 64kbps"
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="64024"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us">
    <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="353"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="8003"
                    nBlockAlign="2973"
                    wBitsPerSample="16"
                    codecdata="008800000F00752E0000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
    {IDS_PROFILE_CBR_80K, R"(<profile version="589824"
         storageformat="1"
         name="44kHz Stereo CBR 80kbps"
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="80024"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us">
    <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="353"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="10003"
                    nBlockAlign="3716"
                    wBitsPerSample="16"
                    codecdata="008800000F00113A0000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
    {IDS_PROFILE_CBR_96K, R"(<profile version="589824"
         storageformat="1"
         name=""
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="96024"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us">
    <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="353"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="12003"
                    nBlockAlign="4459"
                    wBitsPerSample="16"
                    codecdata="008800000F00AD450000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
    {IDS_PROFILE_CBR_128K, R"(<profile version="589824"
         storageformat="1"
         name=""
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="128016"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us">
    <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="353"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="16002"
                    nBlockAlign="5945"
                    wBitsPerSample="16"
                    codecdata="008800000F00E55C0000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
    {IDS_PROFILE_CBR_160K, R"(<profile version="589824"
         storageformat="1"
         name=""
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="160016"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us">
    <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="353"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="20002"
                    nBlockAlign="7431"
                    wBitsPerSample="16"
                    codecdata="008800000F001D740000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
    {IDS_PROFILE_CBR_192K, R"(<profile version="589824"
         storageformat="1"
         name=""
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="192016"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us">
    <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="353"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="24002"
                    nBlockAlign="8917"
                    wBitsPerSample="16"
                    codecdata="008800000F00558B0000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
    {IDS_PROFILE_CBR_32K, R"(<profile version="589824"
         storageformat="1"
         name=""
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="31984"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us">
    <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="353"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="3998"
                    nBlockAlign="1485"
                    wBitsPerSample="16"
                    codecdata="008800001F0035170000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
    {IDS_PROFILE_CBR_48K, R"(<profile version="589824"
         storageformat="1"
         name=""
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="48024"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us">
    <wmmediatype subtype="{00000161-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="353"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="6003"
                    nBlockAlign="2230"
                    wBitsPerSample="16"
                    codecdata="008800001F00D9220000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
    {IDS_PROFILE_LOSSLESS, R"(<profile version="589824"
         storageformat="1"
         name=""
         description="Streams: 1 audio">
  <streamconfig majortype="{73647561-0000-0010-8000-00AA00389B71}"
                streamnumber="1"
                streamname="Audio1"
                inputname=""
                bitrate="128016"
                bufferwindow="3000"
                reliabletransport="0"
                decodercomplexity=""
                rfc1766langid="en-us"
                vbrenabled="1"
                bitratemax="0"
                bufferwindowmax="0">
    <wmmediatype subtype="{00000163-0000-0010-8000-00AA00389B71}"
                 bfixedsizesamples="1"
                 btemporalcompression="0"
                 lsamplesize="0">
      <waveformatex wFormatTag="355"
                    nChannels="2"
                    nSamplesPerSec="44100"
                    nAvgBytesPerSec="2147483492"
                    nBlockAlign="13375"
                    wBitsPerSample="16"
                    codecdata="100003000000000000000000000021000000"/>
    </wmmediatype>
  </streamconfig>
</profile>)"},
};
