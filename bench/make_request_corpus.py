"""Makes bench/requests.tsv, the request corpus of the filter benchmark: 10 000 requests
(URL, page, type) as pages of common kinds of sites make them: their own scripts, styles,
images and API calls, shared libraries from public CDNs, fonts, and the advertising,
analytics and social hosts that such pages call. Seeded: the same file every time.
    python3 make_request_corpus.py > requests.tsv
"""

import random

random.seed(20261208)

SITES = [
    "www.baidu.com", "news.qq.com", "www.sina.com.cn", "www.163.com", "www.sohu.com", "www.taobao.com",
    "www.jd.com", "www.bilibili.com", "www.zhihu.com", "weibo.com", "www.ifeng.com", "www.xinhuanet.com",
    "www.people.com.cn", "www.douban.com", "www.csdn.net", "www.cnblogs.com", "www.youku.com", "www.iqiyi.com",
    "www.tmall.com", "www.ctrip.com", "www.dianping.com", "www.autohome.com.cn", "www.zol.com.cn", "www.36kr.com",
    "www.thepaper.cn", "www.guancha.cn", "www.huxiu.com", "www.jianshu.com", "www.meituan.com", "www.58.com",
    "www.nytimes.com", "www.theguardian.com", "www.bbc.co.uk", "edition.cnn.com", "www.reuters.com",
    "www.washingtonpost.com", "www.forbes.com", "www.bloomberg.com", "www.wired.com", "arstechnica.com",
    "www.theverge.com", "techcrunch.com", "www.engadget.com", "www.imdb.com", "www.rottentomatoes.com",
    "stackoverflow.com", "github.com", "www.reddit.com", "en.wikipedia.org", "www.amazon.com", "www.ebay.com",
    "www.walmart.com", "www.bestbuy.com", "www.target.com", "www.etsy.com", "www.booking.com",
    "www.tripadvisor.com", "www.expedia.com", "www.yelp.com", "www.weather.com", "www.espn.com",
    "www.cnet.com", "www.zdnet.com", "www.huffpost.com", "www.buzzfeed.com", "www.dailymail.co.uk",
    "www.independent.co.uk", "www.lemonde.fr", "www.spiegel.de", "www.bild.de", "www.corriere.it",
    "www.elpais.com", "www.asahi.com", "www.yomiuri.co.jp", "www.naver.com", "www.daum.net",
    "www.allrecipes.com", "www.webmd.com", "www.healthline.com", "www.investopedia.com", "www.medium.com",
    "www.quora.com", "www.pinterest.com", "www.tumblr.com", "www.twitch.tv", "www.vimeo.com",
    "www.dailymotion.com", "www.speedtest.net", "www.accuweather.com", "www.nba.com", "www.fifa.com",
]

CDNS = [
    ("cdnjs.cloudflare.com", ["/ajax/libs/jquery/3.6.0/jquery.min.js", "/ajax/libs/lodash.js/4.17.21/lodash.min.js",
                              "/ajax/libs/font-awesome/6.4.0/css/all.min.css", "/ajax/libs/moment.js/2.29.4/moment.min.js"]),
    ("ajax.googleapis.com", ["/ajax/libs/jquery/3.7.1/jquery.min.js", "/ajax/libs/webfont/1.6.26/webfont.js"]),
    ("cdn.jsdelivr.net", ["/npm/bootstrap@5.3.0/dist/js/bootstrap.bundle.min.js", "/npm/swiper@10/swiper-bundle.min.css",
                          "/npm/vue@3.3.4/dist/vue.global.prod.js"]),
    ("unpkg.com", ["/react@18.2.0/umd/react.production.min.js", "/react-dom@18.2.0/umd/react-dom.production.min.js"]),
    ("fonts.googleapis.com", ["/css2?family=Roboto:wght@400;700&display=swap", "/css?family=Open+Sans:400,600"]),
    ("fonts.gstatic.com", ["/s/roboto/v30/KFOmCnqEu92Fr1Mu4mxK.woff2", "/s/opensans/v35/memSYaGs126MiZpBA-UvWbX2vVnXBbObj2OVZyOOSr4dVJWUgsjZ0B4gaVc.woff2"]),
    ("s.alicdn.com", ["/@g/mtb/lib-mtop/2.6.1/mtop.js", "/@g/tbc/search-suggest/1.0.14/index.js"]),
    ("g.alicdn.com", ["/secdev/entry/index.js", "/alilog/mlog/aplus_v2.js"]),
    ("lf1-cdn-tos.bytegoofy.com", ["/goofy/ttzz/webpack-runtime.js"]),
    ("cdn.staticfile.org", ["/jquery/3.6.0/jquery.min.js", "/vue/2.6.14/vue.min.js"]),
    ("www.gstatic.com", ["/recaptcha/releases/abc123/recaptcha__en.js", "/images/branding/product/2x/maps_96in128dp.png"]),
    ("upload.wikimedia.org", ["/wikipedia/commons/thumb/a/a9/Example.jpg/320px-Example.jpg"]),
    ("i.ytimg.com", ["/vi/dQw4w9WgXcQ/hqdefault.jpg", "/vi/abcdEFGhijk/mqdefault.jpg"]),
    ("pbs.twimg.com", ["/profile_images/1234567890/avatar_normal.jpg"]),
    ("img.alicdn.com", ["/imgextra/i4/O1CN01abcDEF1x2y3z4_!!6000000001234-0-tps-750-440.jpg"]),
    ("p1.itc.cn", ["/q_70/images03/20231201/abcdef0123456789.jpeg"]),
]

TRACKERS = [
    ("www.google-analytics.com", ["/analytics.js", "/collect?v=1&_v=j101&a=123456&t=pageview&_s=1&dl={page}&tid=UA-1234567-1&cid=123.456",
                                  "/g/collect?v=2&tid=G-ABCDEF1234&cid=111.222&en=page_view"], ["script", "ping", "image"]),
    ("www.googletagmanager.com", ["/gtag/js?id=G-ABCDEF1234", "/gtm.js?id=GTM-ABC123"], ["script"]),
    ("pagead2.googlesyndication.com", ["/pagead/js/adsbygoogle.js?client=ca-pub-1234567890123456",
                                       "/pagead/show_ads_impl.js", "/getconfig/sodar?sv=200&tid=gda&tv=r20231129&st=env"],
     ["script", "xmlhttprequest"]),
    ("securepubads.g.doubleclick.net", ["/tag/js/gpt.js", "/gampad/ads?iu=/1234/news/home&sz=728x90&correlator=123"],
     ["script", "xmlhttprequest"]),
    ("googleads.g.doubleclick.net", ["/pagead/viewthroughconversion/123456789/?random=123", "/pagead/id"],
     ["image", "xmlhttprequest"]),
    ("stats.g.doubleclick.net", ["/j/collect?t=dc&aip=1&_r=3&v=1"], ["xmlhttprequest"]),
    ("adservice.google.com", ["/adsid/integrator.js?domain={site}", "/ddm/fls/z/src=123;type=abc;cat=def"],
     ["script", "image"]),
    ("tpc.googlesyndication.com", ["/safeframe/1-0-40/html/container.html", "/simgad/1234567890123456789"],
     ["subdocument", "image"]),
    ("connect.facebook.net", ["/en_US/fbevents.js", "/signals/config/123456789012345?v=2.9.138&r=stable"], ["script"]),
    ("www.facebook.com", ["/tr?id=123456789012345&ev=PageView&noscript=1", "/plugins/like.php?href={page}"],
     ["image", "subdocument"]),
    ("platform.twitter.com", ["/widgets.js", "/widgets/widget_iframe.html"], ["script", "subdocument"]),
    ("static.ads-twitter.com", ["/uwt.js"], ["script"]),
    ("sb.scorecardresearch.com", ["/beacon.js", "/p?c1=2&c2=1234567&cv=3.6&cj=1"], ["script", "image"]),
    ("cdn.taboola.com", ["/libtrc/publisher/loader.js"], ["script"]),
    ("trc.taboola.com", ["/publisher/trc/json/get?llvl=1&route=US", "/publisher/log/3/visible?llvl=1"],
     ["xmlhttprequest", "image"]),
    ("widgets.outbrain.com", ["/outbrain.js"], ["script"]),
    ("static.criteo.net", ["/js/ld/publishertag.js"], ["script"]),
    ("bidder.criteo.com", ["/cdb?ptv=123&profileId=207&cb=456"], ["xmlhttprequest"]),
    ("c.amazon-adsystem.com", ["/aax2/apstag.js", "/e/dtb/bid?src=1234&u={page}"], ["script", "xmlhttprequest"]),
    ("ib.adnxs.com", ["/ut/v3/prebid", "/getuid?https://x.test/sync"], ["xmlhttprequest", "image"]),
    ("fastlane.rubiconproject.com", ["/a/api/fastlane.json?account_id=1234&site_id=5678"], ["xmlhttprequest"]),
    ("hbopenbid.pubmatic.com", ["/translator?source=prebid-client"], ["xmlhttprequest"]),
    ("ads.pubmatic.com", ["/AdServer/js/pwt/1234/5678/pwt.js"], ["script"]),
    ("htlb.casalemedia.com", ["/cygnus?s=123&v=7.2"], ["xmlhttprequest"]),
    ("z.moatads.com", ["/abc123/moatad.js"], ["script"]),
    ("secure.quantserve.com", ["/quant.js"], ["script"]),
    ("pixel.quantserve.com", ["/pixel/p-abcdefgh.gif"], ["image"]),
    ("static.hotjar.com", ["/c/hotjar-1234567.js?sv=6"], ["script"]),
    ("bam.nr-data.net", ["/1/abcdef?a=123&v=1.2.3&t=Unnamed%20Transaction"], ["xmlhttprequest"]),
    ("js-agent.newrelic.com", ["/nr-spa-1.238.0.min.js"], ["script"]),
    ("cdn.segment.com", ["/analytics.js/v1/abcdefXYZ/analytics.min.js"], ["script"]),
    ("api.mixpanel.com", ["/track/?data=eyJldmVudCI6InZpZXcifQ%3D%3D&ip=1"], ["xmlhttprequest"]),
    ("hm.baidu.com", ["/hm.js?0123456789abcdef0123456789abcdef", "/hm.gif?cc=1&ck=1&cl=24-bit&ds=1920x1080"],
     ["script", "image"]),
    ("cpro.baidustatic.com", ["/cpro/ui/c.js"], ["script"]),
    ("pos.baidu.com", ["/s?hei=250&wid=300&di=u1234567"], ["subdocument"]),
    ("s.union.360.cn", ["/12345.js"], ["script"]),
    ("cnzz.mmstat.com", ["/9.gif?abc=1&rnd=123456789"], ["image"]),
    ("s4.cnzz.com", ["/z_stat.php?id=1234567890&web_id=1234567890"], ["script"]),
    ("tajs.qq.com", ["/stats?sId=12345678"], ["script"]),
    ("pingjs.qq.com", ["/h5/stats.js?v2.0.4"], ["script"]),
    ("sdk.51.la", ["/js-sdk-pro.min.js"], ["script"]),
    ("mc.yandex.ru", ["/metrika/tag.js", "/watch/12345678?wmode=7&page-url={page}"], ["script", "image"]),
    ("bat.bing.com", ["/bat.js", "/action/0?ti=12345678&Ver=2"], ["script", "image"]),
    ("snap.licdn.com", ["/li.lms-analytics/insight.min.js"], ["script"]),
    ("px.ads.linkedin.com", ["/collect/?pid=123456&fmt=gif"], ["image"]),
    ("s.pinimg.com", ["/ct/core.js"], ["script"]),
    ("www.youtube.com", ["/embed/dQw4w9WgXcQ", "/iframe_api"], ["subdocument", "script"]),
    ("player.vimeo.com", ["/video/123456789?h=abcdef"], ["subdocument"]),
    ("disqus.com", ["/embed/comments/?base=default&f=example"], ["subdocument"]),
]

FIRST_PARTY = [
    ("script", ["/static/js/app.{hash}.js", "/static/js/vendor.{hash}.js", "/assets/main-{hash}.js", "/js/common.js?v={n}",
                "/_next/static/chunks/pages/index-{hash}.js", "/dist/bundle.min.js"]),
    ("stylesheet", ["/static/css/app.{hash}.css", "/assets/style-{hash}.css", "/css/main.css?v={n}"]),
    ("image", ["/images/logo.png", "/img/{n}/{hash}.jpg", "/uploads/2023/11/photo-{n}.jpg", "/static/img/banner-{n}.webp",
               "/favicon.ico", "/thumb/{n}x{n}/{hash}.png", "/ads/house-ad-{n}.png", "/images/sponsor/partner-{n}.png"]),
    ("xmlhttprequest", ["/api/v1/articles?page={n}", "/api/user/info", "/graphql", "/ajax/comments?id={n}",
                        "/api/recommend?cursor={hash}", "/track/event?type=click&id={n}"]),
    ("font", ["/fonts/iconfont.woff2?t={n}", "/static/fonts/PingFang-{n}.woff"]),
    ("media", ["/video/{hash}.mp4", "/audio/{n}.mp3"]),
    ("subdocument", ["/embed/player?id={n}", "/widget/comments/{n}"]),
    ("ping", ["/log?e=view&t={n}"]),
    ("other", ["/manifest.json", "/service-worker.js"]),
]


def fill(path, site, page):
    return (path.replace("{hash}", "%08x" % random.getrandbits(32))
                .replace("{n}", str(random.randint(1, 99999)))
                .replace("{site}", site)
                .replace("{page}", "https%3A%2F%2F" + site + "%2F"))


def page_of(site):
    paths = ["/", "/news/%d.html" % random.randint(1000, 999999), "/article/%08x" % random.getrandbits(32),
             "/item/%d" % random.randint(100000, 9999999), "/search?q=%d" % random.randint(1, 999)]
    return "https://" + site + random.choice(paths)


def main():
    lines = []
    while len(lines) < 10000:
        site = random.choice(SITES)
        page = page_of(site)
        roll = random.random()
        if roll < 0.5:
            kind, paths = random.choice(FIRST_PARTY)
            host = random.choice([site, "static." + site.split("www.", 1)[-1], "img." + site.split("www.", 1)[-1]])
            url = "https://" + host + fill(random.choice(paths), site, page)
        elif roll < 0.7:
            host, paths = random.choice(CDNS)
            url = "https://" + host + fill(random.choice(paths), site, page)
            kind = ("stylesheet" if ".css" in url or "css" in url.split("?")[0].split("/")[-1]
                    else "font" if ".woff" in url else "image" if url.split("?")[0].endswith((".jpg", ".png", ".jpeg"))
                    else "script")
        else:
            host, paths, kinds = random.choice(TRACKERS)
            index = random.randrange(len(paths))
            url = "https://" + host + fill(paths[index], site, page)
            kind = kinds[min(index, len(kinds) - 1)]
        lines.append("%s\t%s\t%s" % (url, page, kind))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
